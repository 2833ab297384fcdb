#pragma once
// The two windows' controls, faked, all recording into one EventLog.

#include "support/fake_controls.h"
#include "view/form1_controls.h"
#include "view/form2_controls.h"

namespace stowix::test {

class FakeForm1 : public Form1Controls {
public:
    explicit FakeForm1(EventLog& log)
        : form(log, "Form1"),
          command1(log, "Command1"),
          command2(log, "Command2"),
          command3(log, "Command3"),
          check1(log, "Check1"),
          label1(log, "Label1"),
          label2(log, "Label2"),
          label3(log, "Label3"),
          label4(log, "Label4"),
          progressBar1(log, "ProgressBar1"),
          statusBar1(log, "StatusBar1"),
          animation1(log, "Animation1"),
          mmControl1(log, "MMControl1"),
          fileMenu(log, "FileMenu"),
          helpMenu(log, "HelpMenu") {}

    Window& Form() override { return form; }
    Control& Command1() override { return command1; }
    Control& Command2() override { return command2; }
    Control& Command3() override { return command3; }
    CheckBox& Check1() override { return check1; }
    Label& Label1() override { return label1; }
    Label& Label2() override { return label2; }
    Label& Label3() override { return label3; }
    Label& Label4() override { return label4; }
    ProgressBar& ProgressBar1() override { return progressBar1; }
    StatusBar& StatusBar1() override { return statusBar1; }
    Animation& Animation1() override { return animation1; }
    MultimediaControl& MMControl1() override { return mmControl1; }
    Control& FileMenu() override { return fileMenu; }
    Control& HelpMenu() override { return helpMenu; }

    FakeWindow form;
    FakeControl command1, command2, command3;
    FakeCheckBox check1;
    FakeLabel label1, label2, label3, label4;
    FakeProgressBar progressBar1;
    FakeStatusBar statusBar1;
    FakeAnimation animation1;
    FakeMultimediaControl mmControl1;
    FakeControl fileMenu, helpMenu;
};

class FakeForm2 : public Form2Controls {
public:
    explicit FakeForm2(EventLog& log)
        : form(log, "Form2"),
          command1(log, "Form2.Command1"),
          dir1(log, "Dir1"),
          progressBar1(log, "Form2.ProgressBar1"),
          statusBar1(log, "Form2.StatusBar1") {}

    Window& Form() override { return form; }
    Control& Command1() override { return command1; }
    FolderList& Dir1() override { return dir1; }
    ProgressBar& ProgressBar1() override { return progressBar1; }
    StatusBar& StatusBar1() override { return statusBar1; }

    FakeWindow form;
    FakeControl command1;
    FakeFolderList dir1;
    FakeProgressBar progressBar1;
    FakeStatusBar statusBar1;
};

}  // namespace stowix::test
