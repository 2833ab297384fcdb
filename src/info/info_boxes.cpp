#include "info/info_boxes.h"

#include "files/escaped_text.h"
#include "info/contacts.h"
#include "services/program_values.h"
#include "sets/set_facts.h"
#include "shell/settings.h"

namespace stowix {

namespace {

const QChar LineBreak = QLatin1Char('\r');
const QChar Tab = QLatin1Char('\t');

void ShowInformation(Services& services, const QString& text, const QString& title) {
    services.dialogs.MessageBox(text, MessageButtons::Ok, MessageIcon::Information, title);
}

// A recorded path as the box shows it: the settings file is the user's, and a path may hold
// what a drive's names hold, so control and direction characters are shown escaped rather
// than let break the box's lines or turn its text around.
QString RecordedPath(SettingsStore& settings, const QString& key) {
    return EscapedText(ReadSetting(settings, SettingsKeys::Info, key, SettingsKeys::None));
}

// " (incomplete: ...)" after a recorded set whose record says so; empty otherwise.
QString IncompleteMark(SettingsStore& settings, FileSystem* files, const QString& key) {
    if (files == nullptr) return QString();
    const QString path = ReadSetting(settings, SettingsKeys::Info, key, QString());
    if (path.isEmpty()) return QString();
    // Only a record that says so marks a set: a path that cannot be read (the settings are the
    // user's) is shown as it is, and what is shown is escaped as the path is.
    const SetFacts facts = ReadSetFacts(*files, path);
    if (!facts.record || facts.record->complete) return QString();
    return QStringLiteral(" (") + EscapedText(IncompleteText(facts)) + u')';
}

}  // namespace

QString InfoText(SettingsStore& settings, System& system, FileSystem* files) {
    const QString lastBackup = RecordedPath(settings, SettingsKeys::LastBackup) +
                               IncompleteMark(settings, files, SettingsKeys::LastBackup);
    const QString lastRestore = RecordedPath(settings, SettingsKeys::LastRestore) +
                                IncompleteMark(settings, files, SettingsKeys::LastRestore);
    const QString lastDelete = RecordedPath(settings, SettingsKeys::LastDelete);
    const QString date = system.DateText();
    const QString time = system.TimeText();

    return QStringLiteral("Last Backup:") + Tab + lastBackup + LineBreak +
           QStringLiteral("Last Restore:") + Tab + lastRestore + LineBreak +
           QStringLiteral("Last Delete:") + Tab + lastDelete + LineBreak + LineBreak +
           QStringLiteral("Current date/time:") + Tab + date + QLatin1Char(' ') + time;
}

QString TipsText() {
    return QStringLiteral("For unattended backups, add a /U switch to Stowix's command-line.") +
           LineBreak + LineBreak +
           QStringLiteral("For invisible operation, add a /I switch to Stowix's command-line.") +
           LineBreak + LineBreak +
           QStringLiteral("Click File+Add Comment to add a comment to this backup.") + LineBreak +
           LineBreak + QStringLiteral("For free technical support, send e-mail to ") +
           SupportAddress + QLatin1Char('.');
}

QString AboutText() {
    return QStringLiteral("STOWIX") + LineBreak + LineBreak + QStringLiteral("Build ") +
           QString::number(ProgramRevision) + QStringLiteral(" - GA - 11/99") + LineBreak +
           LineBreak + QStringLiteral("For updates, visit ") + UpdatesAddress + QLatin1Char('.');
}

void ShowInfo(Services& services) {
    ShowInformation(services, InfoText(services.settings, services.system, &services.files),
                    QStringLiteral("Info"));
}

void ShowTips(Services& services) { ShowInformation(services, TipsText(), QStringLiteral("Tips")); }

void ShowAbout(Services& services) {
    ShowInformation(services, AboutText(), QStringLiteral("About Stowix"));
}

}  // namespace stowix
