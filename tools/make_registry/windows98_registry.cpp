#include "windows98_registry.h"

#include <QString>

#include <cstdint>
#include <random>

namespace stowix::tools {

namespace {

using Bytes = QByteArray;

QByteArray Le32(quint32 value) {
    const char bytes[4] = {char(value), char(value >> 8), char(value >> 16), char(value >> 24)};
    return QByteArray(bytes, 4);
}

// A class identifier in registry form, "{8 - 4 - 4 - 4 - 12 hex digits}", from a seed.
QByteArray ClassId(std::mt19937& random) {
    auto hex = [&random](int digits) {
        QByteArray text;
        for (int i = 0; i < digits; ++i) text += "0123456789ABCDEF"[random() % 16];
        return text;
    };
    return "{" + hex(8) + "-" + hex(4) + "-" + hex(4) + "-" + hex(4) + "-" + hex(12) + "}";
}

QByteArray Seeded(std::mt19937& random, int size) {
    QByteArray bytes(size, '\0');
    for (char& c : bytes) c = char(random());
    return bytes;
}

void AddFileTypes(RegistryKeySpec& classes) {
    struct FileType {
        const char* extension;
        const char* type;
        const char* description;
        const char* program;
        const char* icon;
    };
    const FileType types[] = {
        {".txt", "txtfile", "Text Document", "C:\\WINDOWS\\NOTEPAD.EXE %1", "shell32.dll,-152"},
        {".log", "txtfile", nullptr, nullptr, nullptr},
        {".ini", "inifile", "Configuration Settings", "C:\\WINDOWS\\NOTEPAD.EXE %1",
         "shell32.dll,-151"},
        {".inf", "inffile", "Setup Information", "C:\\WINDOWS\\NOTEPAD.EXE %1", "shell32.dll,-151"},
        {".bat", "batfile", "MS-DOS Batch File", "\"%1\" %*", "shell32.dll,-153"},
        {".com", "comfile", "MS-DOS Application", "\"%1\" %*", "shell32.dll,3"},
        {".exe", "exefile", "Application", "\"%1\" %*", "%1"},
        {".pif", "piffile", "Shortcut to MS-DOS Program", "\"%1\" %*", "shell32.dll,-154"},
        {".bmp", "Paint.Picture", "Bitmap Image",
         "\"C:\\Program Files\\Accessories\\MSPAINT.EXE\" \"%1\"",
         "C:\\Program Files\\Accessories\\MSPAINT.EXE,1"},
        {".wav", "SoundRec", "Wave Sound", "\"C:\\WINDOWS\\SNDREC32.EXE\" /play /close \"%1\"",
         "C:\\WINDOWS\\SNDREC32.EXE,1"},
        {".mid", "midfile", "MIDI Sequence", "C:\\WINDOWS\\rundll32.exe amovie.ocx,RunDll /play %1",
         "C:\\WINDOWS\\SYSTEM\\mmsys.cpl,1"},
        {".avi", "AVIFile", "Video Clip", "C:\\WINDOWS\\rundll32.exe amovie.ocx,RunDll /play %1",
         "C:\\WINDOWS\\SYSTEM\\mmsys.cpl,2"},
        {".hlp", "hlpfile", "Help File", "C:\\WINDOWS\\WINHLP32.EXE %1",
         "C:\\WINDOWS\\WINHLP32.EXE,1"},
        {".wri", "wrifile", "Write Document",
         "\"C:\\Program Files\\Accessories\\WORDPAD.EXE\" \"%1\"",
         "C:\\Program Files\\Accessories\\WORDPAD.EXE,2"},
        {".doc", "WordPad.Document.1", "WordPad Document",
         "\"C:\\Program Files\\Accessories\\WORDPAD.EXE\" \"%1\"",
         "C:\\Program Files\\Accessories\\WORDPAD.EXE,1"},
        {".rtf", "rtffile", "Rich Text Format",
         "\"C:\\Program Files\\Accessories\\WORDPAD.EXE\" \"%1\"",
         "C:\\Program Files\\Accessories\\WORDPAD.EXE,1"},
        {".htm", "htmlfile", "HTML Document",
         "\"C:\\Program Files\\Internet Explorer\\iexplore.exe\" -nohome",
         "C:\\WINDOWS\\SYSTEM\\shdoclc.dll,-130"},
        {".html", "htmlfile", nullptr, nullptr, nullptr},
        {".zip", "CompressedFolder", "Compressed Folder",
         "rundll32.exe zipfldr.dll,RouteTheCall %1", "zipfldr.dll"},
        {".lnk", "lnkfile", "Shortcut", nullptr, nullptr},
        {".url", "InternetShortcut", "Internet Shortcut", "rundll32.exe shdocvw.dll,OpenURL %l",
         "url.dll,0"},
        {".reg", "regfile", "Registration Entries", "regedit.exe \"%1\"", "regedit.exe,1"},
        {".scr", "scrfile", "Screen Saver", "\"%1\" /S", "%1"},
        {".ttf", "ttffile", "TrueType Font file", "fontview.exe %1", "fontview.exe,0"},
        {".fon", "fonfile", "Font file", "fontview.exe %1", "fontview.exe,0"},
        {".cpl", "cplfile", "Control Panel extension",
         "rundll32.exe shell32.dll,Control_RunDLL \"%1\",%*", "shell32.dll,-154"},
        {".dll", "dllfile", "Application Extension", nullptr, "shell32.dll,-154"},
        {".sys", "sysfile", "System file", nullptr, "shell32.dll,-154"},
        {".vxd", "vxdfile", "Virtual device driver", nullptr, "shell32.dll,-154"},
        {".drv", "drvfile", "Device driver", nullptr, "shell32.dll,-154"},
        {".grp", "grpfile", "Microsoft Program Group", "GRPCONV.EXE %1", "grpconv.exe,0"},
        {".crd", "crdfile", "Cardfile Document", "cardfile.exe %1", "cardfile.exe,1"},
        {".cda", "cdafile", "CD Audio Track", "CDPLAYER.EXE /play %1", "cdplayer.exe,1"},
        {".msg", "msgfile", "Outlook Express Mail Message",
         "\"C:\\Program Files\\Outlook Express\\msimn.exe\" /eml:%1",
         "C:\\Program Files\\Outlook Express\\msimn.exe,1"},
    };
    for (const FileType& type : types) {
        classes.Key(type.extension).String({}, type.type);
        if (!type.description) continue;
        RegistryKeySpec& typeKey = classes.Key(type.type);
        typeKey.String({}, type.description).Binary("EditFlags", Le32(0x00000000));
        if (type.icon) typeKey.Key("DefaultIcon").String({}, type.icon);
        if (type.program) {
            typeKey.Key("shell").String({}, "open");
            typeKey.Key("shell\\open\\command").String({}, type.program);
        }
    }
}

void AddClasses(RegistryKeySpec& clsid, std::mt19937& random, int count) {
    static const char* const servers[] = {
        "C:\\WINDOWS\\SYSTEM\\SHELL32.DLL", "C:\\WINDOWS\\SYSTEM\\SHDOCVW.DLL",
        "C:\\WINDOWS\\SYSTEM\\OLE32.DLL",   "C:\\WINDOWS\\SYSTEM\\MSHTML.DLL",
        "C:\\WINDOWS\\SYSTEM\\QUARTZ.DLL",  "C:\\WINDOWS\\SYSTEM\\OLEAUT32.DLL",
    };
    static const char* const names[] = {
        "Shell Folder View",
        "Desktop",
        "Briefcase",
        "Recycle Bin",
        "Control Panel",
        "Printers",
        "Dial-Up Networking",
        "Shortcut",
        "Internet Explorer",
        "Active Movie Control",
        "Microsoft Web Browser",
        "Task Scheduler",
        "Font Folder",
        "Component Categories Manager",
    };
    for (int i = 0; i < count; ++i) {
        RegistryKeySpec& key = clsid.Key(ClassId(random));
        key.String({}, names[random() % std::size(names)]);
        key.Key("InprocServer32")
            .String({}, servers[random() % std::size(servers)])
            .String("ThreadingModel", "Apartment");
    }
}

void AddEnum(RegistryKeySpec& root) {
    struct Device {
        const char* path;
        const char* cls;
        const char* description;
        const char* manufacturer;
        const char* hardwareId;
        const char* driver;
    };
    const Device devices[] = {
        {"Enum\\Root\\*PNP0C01\\0000", "System", "System board", "(Standard system devices)",
         "*PNP0C01", "System\\0000"},
        {"Enum\\Root\\*PNP0A03\\0000", "System", "PCI bus", "(Standard system devices)", "*PNP0A03",
         "System\\0001"},
        {"Enum\\BIOS\\*PNP0000\\0D", "System", "Programmable interrupt controller",
         "(Standard system devices)", "*PNP0000", "System\\0002"},
        {"Enum\\BIOS\\*PNP0100\\0E", "System", "System timer", "(Standard system devices)",
         "*PNP0100", "System\\0003"},
        {"Enum\\BIOS\\*PNP0200\\0F", "System", "Direct memory access controller",
         "(Standard system devices)", "*PNP0200", "System\\0004"},
        {"Enum\\BIOS\\*PNP0303\\05", "Keyboard",
         "Standard 101/102-Key or Microsoft Natural Keyboard", "(Standard keyboards)", "*PNP0303",
         "Keyboard\\0000"},
        {"Enum\\BIOS\\*PNP0F13\\06", "Mouse", "Standard PS/2 Port Mouse", "(Standard mouse types)",
         "*PNP0F13", "Mouse\\0000"},
        {"Enum\\BIOS\\*PNP0501\\0A", "Ports", "Communications Port (COM1)", "(Standard port types)",
         "*PNP0501", "Ports\\0000"},
        {"Enum\\BIOS\\*PNP0400\\0C", "Ports", "Printer Port (LPT1)", "(Standard port types)",
         "*PNP0400", "Ports\\0001"},
        {"Enum\\BIOS\\*PNP0700\\07", "fdc", "Standard Floppy Disk Controller",
         "(Standard floppy disk controllers)", "*PNP0700", "fdc\\0000"},
        {"Enum\\PCI\\VEN_8086&DEV_7000&SUBSYS_00000000&REV_00\\BUS_00&DEV_01&FUNC_00", "System",
         "Intel 82371SB PCI to ISA bridge", "Intel", "PCI\\VEN_8086&DEV_7000", "System\\0005"},
        {"Enum\\PCI\\VEN_8086&DEV_7010&SUBSYS_00000000&REV_00\\BUS_00&DEV_01&FUNC_01", "hdc",
         "Intel 82371SB PCI Bus Master IDE Controller", "Intel", "PCI\\VEN_8086&DEV_7010",
         "hdc\\0000"},
        {"Enum\\PCI\\VEN_1013&DEV_00B8&SUBSYS_00000000&REV_00\\BUS_00&DEV_02&FUNC_00", "Display",
         "Standard PCI Graphics Adapter (VGA)", "(Standard display types)",
         "PCI\\VEN_1013&DEV_00B8", "Display\\0000"},
        {"Enum\\PCI\\VEN_1022&DEV_2000&SUBSYS_20001022&REV_10\\BUS_00&DEV_03&FUNC_00", "Net",
         "AMD PCNET Family Ethernet Adapter (PCI-ISA)", "AMD", "PCI\\VEN_1022&DEV_2000",
         "Net\\0000"},
        {"Enum\\ISAPNP\\CTL0031\\0000", "MEDIA", "Creative SB16 or AWE32", "Creative",
         "ISAPNP\\CTL0031", "MEDIA\\0000"},
        {"Enum\\MONITOR\\DEFAULT_MONITOR\\0001", "Monitor", "Default Monitor",
         "(Standard monitor types)", "Monitor\\Default", "Monitor\\0000"},
        {"Enum\\ESDI\\GENERIC_IDE__DISK_TYPE47_\\MF&CHILD0000&PCI&VEN_8086&DEV_7010", "DiskDrive",
         "GENERIC IDE  DISK TYPE47", "(Standard disk drives)", "GENERIC_IDE__DISK_TYPE47_",
         "DiskDrive\\0000"},
        {"Enum\\SCSI\\QEMU____QEMU_DVD-ROM___\\MF&CHILD0001&PCI&VEN_8086&DEV_7010", "CDROM",
         "QEMU QEMU DVD-ROM", "(Standard CD-ROM drives)", "QEMU____QEMU_DVD-ROM___", "CDROM\\0000"},
        {"Enum\\FLOP\\GENERIC_NEC__FLOPPY_DISK_\\ROOT&*PNP0700&0000", "DiskDrive",
         "GENERIC NEC  FLOPPY DISK", "(Standard disk drives)", "GENERIC_NEC__FLOPPY_DISK_",
         "DiskDrive\\0001"},
        {"Enum\\Network\\MSTCP\\0000", "NetTrans", "TCP/IP", "Microsoft", "MSTCP",
         "NetTrans\\0000"},
        {"Enum\\Network\\VREDIR\\0000", "NetClient", "Client for Microsoft Networks", "Microsoft",
         "VREDIR", "NetClient\\0000"},
    };
    const char* const classIds[][2] = {
        {"System", "{4D36E97D-E325-11CE-BFC1-08002BE10318}"},
        {"Keyboard", "{4D36E96B-E325-11CE-BFC1-08002BE10318}"},
        {"Mouse", "{4D36E96F-E325-11CE-BFC1-08002BE10318}"},
        {"Ports", "{4D36E978-E325-11CE-BFC1-08002BE10318}"},
        {"Display", "{4D36E968-E325-11CE-BFC1-08002BE10318}"},
        {"Net", "{4D36E972-E325-11CE-BFC1-08002BE10318}"},
        {"MEDIA", "{4D36E96C-E325-11CE-BFC1-08002BE10318}"},
        {"DiskDrive", "{4D36E967-E325-11CE-BFC1-08002BE10318}"},
        {"CDROM", "{4D36E965-E325-11CE-BFC1-08002BE10318}"},
        {"hdc", "{4D36E96A-E325-11CE-BFC1-08002BE10318}"},
        {"fdc", "{4D36E969-E325-11CE-BFC1-08002BE10318}"},
        {"Monitor", "{4D36E96E-E325-11CE-BFC1-08002BE10318}"},
        {"NetTrans", "{4D36E975-E325-11CE-BFC1-08002BE10318}"},
        {"NetClient", "{4D36E973-E325-11CE-BFC1-08002BE10318}"},
    };
    for (const Device& device : devices) {
        RegistryKeySpec& key = root.Key(device.path);
        key.String("Class", device.cls)
            .String("HardwareID", device.hardwareId)
            .String("DeviceDesc", device.description)
            .String("Mfg", device.manufacturer)
            .String("Driver", device.driver)
            .Binary("ConfigFlags", Le32(0));
        RegistryKeySpec& driver =
            root.Key(Bytes("System\\CurrentControlSet\\Services\\Class\\") + device.driver);
        driver.String("DriverDesc", device.description)
            .String("ProviderName", "Microsoft")
            .String("DriverDate", " 4-23-1999")
            .String("InfPath", "MACHINE.INF");
    }
    for (const auto& [name, id] : classIds) {
        root.Key(Bytes("System\\CurrentControlSet\\Services\\Class\\") + name)
            .String({}, name)
            .String("Icon", "-27")
            .String("Installer", "SETUPX.DLL");
        root.Key(Bytes("SOFTWARE\\Classes\\CLSID\\") + id).String({}, name);
    }
}

// Settings of installed programs, "SOFTWARE\<vendor>\<product>\<version>\...", until the
// keys fill about growToBytes of the file: a large registry as years of installations leave it.
// Keys are appended directly, without the search by name, so that a large tree builds quickly.
void GrowWithPrograms(RegistryKeySpec& software, qsizetype growToBytes) {
    static const char* const vendors[] = {
        "Adobe",         "Borland",  "Corel",         "Creative Technology",
        "Eidos",         "Intuit",   "Jasc Software", "Lotus",
        "Macromedia",    "McAfee",   "Netscape",      "Nico Mak Computing",
        "Novell",        "Real",     "Sierra",        "Symantec",
        "Ulead Systems", "Westwood", "WinZip",        "Yamaha",
    };
    std::mt19937 random(4101998);
    for (const char* vendor : vendors) software.Key(vendor);
    // Taken once every vendor is there: adding a key moves its siblings.
    std::vector<RegistryKeySpec*> vendorKeys;
    for (const char* vendor : vendors) vendorKeys.push_back(&software.Key(vendor));
    qsizetype bytes = 0;
    for (int product = 1; bytes < growToBytes; ++product) {
        RegistryKeySpec& vendor = *vendorKeys[product % vendorKeys.size()];
        vendor.subKeys.push_back({"Product " + QByteArray::number(product), {}, {}});
        RegistryKeySpec& version = vendor.subKeys.back();
        version.String({}, "").String("Version", "4.0." + QByteArray::number(product % 1000));
        version.subKeys.reserve(3);
        version.subKeys.push_back({"Settings", {}, {}});
        version.subKeys.back()
            .String("InstallDir", "C:\\Program Files\\Product " + QByteArray::number(product))
            .Dword("WindowState", random() % 4)
            .Dword("Flags", random())
            .Binary("Placement", Seeded(random, 44));
        version.subKeys.push_back({"Recent File List", {}, {}});
        for (int file = 1; file <= 4; ++file)
            version.subKeys.back().String(
                "File" + QByteArray::number(file),
                "C:\\My Documents\\Document " + QByteArray::number(random() % 10000) + ".dat");
        version.subKeys.push_back({"Options", {}, {}});
        version.subKeys.back()
            .Dword("ShowTips", 1)
            .Dword("AutoSave", random() % 30)
            .String("Language", "English");
        // Four key entries of about 90, 200, 240 and 90 bytes, and four tree entries.
        bytes += 620 + 4 * 28;
    }
}

}  // namespace

RegistryKeySpec Windows98SystemTree(qsizetype growToBytes) {
    RegistryKeySpec root;
    std::mt19937 random(98222);

    root.Key("Config\\0001\\Display\\Settings")
        .String("Resolution", "800,600")
        .String("BitsPerPixel", "16")
        .String("DPILogicalX", "96")
        .String("DPILogicalY", "96")
        .String("fonts.fon", "vgasys.fon")
        .String("fixedfon.fon", "vgafix.fon")
        .String("oemfonts.fon", "vgaoem.fon");
    root.Key("Config\\0001\\System\\CurrentControlSet\\Control\\Print\\Printers")
        .String("Default", "HP LaserJet 4L");
    root.Key("Config\\0001\\Enum\\Root").Dword("CSConfigFlags", 0);

    AddEnum(root);

    root.Key("hardware\\DESCRIPTION\\System\\FloatingPointProcessor\\0")
        .String("Identifier", "Intel Pentium II");
    root.Key("hardware\\DESCRIPTION\\System\\CentralProcessor\\0")
        .String("Identifier", "x86 Family 6 Model 5 Stepping 2")
        .String("VendorIdentifier", "GenuineIntel");
    root.Key("hardware\\devicemap\\serialcomm").String("COM1", "COM1").String("COM2", "COM2");

    root.Key("Network\\Logon")
        .String("username", "Owner")
        .String("PrimaryProvider", "Microsoft Network")
        .Dword("LMLogon", 0)
        .Binary("ProcessLoginScript", QByteArray(1, '\0'));
    root.Key("Security\\Provider").Dword("Platform_Type", 0);

    RegistryKeySpec& software = root.Key("SOFTWARE");
    AddFileTypes(software.Key("Classes"));
    AddClasses(software.Key("Classes\\CLSID"), random, 60);

    RegistryKeySpec& current = software.Key("Microsoft\\Windows\\CurrentVersion");
    current.String("ProgramFilesDir", "C:\\Program Files")
        .String("CommonFilesDir", "C:\\Program Files\\Common Files")
        .String("SystemRoot", "C:\\WINDOWS")
        .String("ProductName", "Microsoft Windows 98")
        .String("Version", "Windows 98")
        .String("VersionNumber", "4.10.2222")
        .String("SubVersionNumber", " A ")
        .String("ProductId", "12345-OEM-0012345-12345")
        .String("RegisteredOwner", "Owner")
        .String("RegisteredOrganization", "")
        .String("MediaPath", "C:\\WINDOWS\\MEDIA")
        .String("DevicePath", "C:\\WINDOWS\\INF")
        .String("BootCount", "14")
        .Binary("DigitalProductId", Seeded(random, 164));
    current.Key("Run")
        .String("ScanRegistry", "C:\\WINDOWS\\scanregw.exe /autorun")
        .String("TaskMonitor", "C:\\WINDOWS\\taskmon.exe")
        .String("SystemTray", "SysTray.Exe")
        .String("LoadPowerProfile", "Rundll32.exe powrprof.dll,LoadCurrentPwrScheme");
    current.Key("RunServices")
        .String("LoadPowerProfile", "Rundll32.exe powrprof.dll,LoadCurrentPwrScheme");
    current.Key("RunOnce");
    current.Key("Setup")
        .String("SourcePath", "D:\\WIN98\\")
        .String("BootDir", "C:\\")
        .String("WinbootDir", "C:\\WINDOWS")
        .String("SetupScratchDir", "C:\\WININST0.400")
        .Binary("SetupFlags", Le32(0x00000020));
    for (const char* program : {"WORDPAD.EXE", "MSPAINT.EXE", "IEXPLORE.EXE", "PBRUSH.EXE",
                                "SNDREC32.EXE", "REGEDIT.EXE"}) {
        current.Key(Bytes("App Paths\\") + program)
            .String({}, Bytes("C:\\Program Files\\Accessories\\") + program)
            .String("Path", "C:\\Program Files\\Accessories");
    }
    for (const char* product : {"AddressBook", "DirectAnimation", "IE40", "MPlayer2", "NetMeeting",
                                "OutlookExpress", "WinRAR archiver"}) {
        current.Key(Bytes("Uninstall\\") + product)
            .String("DisplayName", product)
            .String("UninstallString",
                    Bytes("rundll32.exe setupapi.dll,InstallHinfSection ") + product);
    }
    RegistryKeySpec& fonts = current.Key("Fonts");
    for (const char* font :
         {"Arial (TrueType)=ARIAL.TTF", "Arial Bold (TrueType)=ARIALBD.TTF",
          "Courier New (TrueType)=COUR.TTF", "Times New Roman (TrueType)=TIMES.TTF",
          "Symbol (TrueType)=SYMBOL.TTF", "Wingdings (TrueType)=WINGDING.TTF",
          "Tahoma (TrueType)=TAHOMA.TTF", "Verdana (TrueType)=VERDANA.TTF",
          "MS Sans Serif 8,10,12,14,18,24=SSERIFE.FON", "Small Fonts=SMALLE.FON",
          "Marlett (TrueType)=MARLETT.TTF"}) {
        const QByteArray pair(font);
        const qsizetype equals = pair.indexOf('=');
        fonts.String(pair.left(equals), pair.mid(equals + 1));
    }
    current.Key("Explorer\\Shell Folders")
        .String("Common Desktop", "C:\\WINDOWS\\All Users\\Desktop")
        .String("Common Start Menu", "C:\\WINDOWS\\All Users\\Start Menu");
    current.Key("Policies\\Ratings");
    current.Key("VxD\\VNETSUP");
    software.Key("Microsoft\\Internet Explorer")
        .String("Version", "5.00.2614.3500")
        .String("Build", "52614.3500")
        .Binary("IntegratedBrowser", QByteArray(1, '\1'));
    software
        .Key(
            "Microsoft\\Active Setup\\Installed Components\\{89820200-ECBD-11cf-8B85-00AA005B4383}")
        .String("ComponentID", "IE40")
        .String("Version", "5,0,2614,3500")
        .Dword("IsInstalled", 1);
    software.Key("Microsoft\\DirectX")
        .String("Version", "4.06.03.0518")
        .Binary("InstalledVersion", Bytes("\0\0\0\6\0\0\0\0", 8));
    software.Key("Microsoft\\Windows\\CurrentVersion\\Time Zones\\Eastern Standard Time")
        .String("Display", "(GMT-05:00) Eastern Time (US & Canada)")
        .String("Std", "Eastern Standard Time")
        .String("Dlt", "Eastern Daylight Time")
        .Binary("TZI", Seeded(random, 44));

    RegistryKeySpec& control = root.Key("System\\CurrentControlSet\\control");
    control.Key("ComputerName\\ComputerName").String("ComputerName", "WIN98");
    control.Key("Nls\\Codepage")
        .String("ACP", "1252")
        .String("OEMCP", "437")
        .String("1252", "CP_1252.NLS");
    control.Key("Nls\\Locale").String({}, "00000409").String("00000409", "English (United States)");
    control.Key("Session Manager\\KnownDLLs")
        .String("ole32", "ole32.dll")
        .String("kernel32", "kernel32.dll")
        .String("user32", "user32.dll")
        .String("gdi32", "gdi32.dll")
        .String("advapi32", "advapi32.dll")
        .String("comdlg32", "comdlg32.dll")
        .String("shell32", "shell32.dll")
        .String("DllDirectory", "C:\\WINDOWS\\SYSTEM");
    control.Key("Session Manager\\AppPatches");
    control.Key("Update").Binary("UpdateMode", QByteArray(1, '\1'));
    control.Key("FileSystem")
        .Binary("Win31FileSystem", QByteArray(1, '\0'))
        .Binary("NameNumericTail", QByteArray(1, '\1'))
        .Binary("Win95TruncatedExtensions", QByteArray(1, '\1'));
    control.Key("FileSystem\\CDFS")
        .Binary("CacheSize", QByteArray(1, char(0xD6)))
        .Binary("Prefetch", Le32(0xE4));
    control.Key("TimeZoneInformation")
        .Dword("Bias", 300)
        .Dword("StandardBias", 0)
        .Dword("DaylightBias", 0xFFFFFFC4)
        .String("StandardName", "Eastern Standard Time")
        .String("DaylightName", "Eastern Daylight Time")
        .Binary("StandardStart", Bytes("\0\0\x0a\0\5\0\2\0\0\0\0\0\0\0\0\0", 16))
        .Binary("DaylightStart", Bytes("\0\0\4\0\1\0\2\0\0\0\0\0\0\0\0\0", 16));
    control.Key("PerfStats\\Enum\\KERNEL\\CPUUsage")
        .Binary("Type", Le32(1))
        .String("Name", "Processor Usage (%)");
    control.Key("InstalledFiles").String("MSVCRT.DLL", "C:\\WINDOWS\\SYSTEM\\MSVCRT.DLL");
    control.Key("ShutDown").Binary("FastReboot", QByteArray(1, '\1'));

    RegistryKeySpec& services = root.Key("System\\CurrentControlSet\\Services");
    services.Key("VxD\\VNETSUP")
        .String("ComputerName", "WIN98")
        .String("Workgroup", "WORKGROUP")
        .String("Comment", "Windows 98 guest")
        .String("StaticVxD", "vnetsup.vxd");
    services.Key("VxD\\MSTCP")
        .String("EnableDNS", "0")
        .String("LMHostFile", "C:\\WINDOWS\\LMHOSTS")
        .String("StaticVxD", "mstcp.vxd");
    services.Key("VxD\\VCACHE")
        .Binary("MinFileCache", Le32(4096))
        .Binary("MaxFileCache", Le32(32768));
    services.Key("VxD\\IOS").String("NOIDE", "").String("StaticVxD", "*IOS");
    services.Key("VxD\\VCOMM").String("StaticVxD", "*vcomm").Binary("Start", QByteArray(1, '\0'));
    services.Key("Arbitrators\\IRQ Arbitrator").Binary("Allocation", Seeded(random, 32));
    services.Key("Arbitrators\\DMA Arbitrator").Binary("Allocation", Seeded(random, 8));
    services.Key("Arbitrators\\IO Arbitrator").Binary("Allocation", Seeded(random, 96));
    services.Key("Arbitrators\\Mem Arbitrator").Binary("Allocation", Seeded(random, 64));
    services.Key("RemoteAccess\\Networks");
    services.Key("WinSock")
        .String("HelperDllName", "C:\\WINDOWS\\SYSTEM\\wsock32n.dll")
        .Binary("MaxSockAddrLength", Le32(16));

    if (growToBytes > 0) GrowWithPrograms(software, growToBytes);
    return root;
}

RegistryKeySpec Windows98UserTree() {
    RegistryKeySpec root;
    std::mt19937 random(1998);
    RegistryKeySpec& user = root.Key(".Default");

    struct Event {
        const char* name;
        const char* label;
        const char* sound;
    };
    const Event events[] = {
        {".Default", "Default sound", "C:\\WINDOWS\\MEDIA\\Ding.wav"},
        {"AppGPFault", "Program error", ""},
        {"Close", "Close program", ""},
        {"EmptyRecycleBin", "Empty Recycle Bin", ""},
        {"Maximize", "Maximize", ""},
        {"MenuCommand", "Menu command", ""},
        {"MenuPopup", "Menu popup", ""},
        {"Minimize", "Minimize", ""},
        {"Open", "Open program", ""},
        {"RestoreDown", "Restore Down", ""},
        {"RestoreUp", "Restore Up", ""},
        {"SystemAsterisk", "Asterisk", "C:\\WINDOWS\\MEDIA\\Chord.wav"},
        {"SystemExclamation", "Exclamation", "C:\\WINDOWS\\MEDIA\\Chord.wav"},
        {"SystemExit", "Exit Windows", "C:\\WINDOWS\\MEDIA\\The Microsoft Sound.wav"},
        {"SystemHand", "Critical Stop", "C:\\WINDOWS\\MEDIA\\Chord.wav"},
        {"SystemQuestion", "Question", ""},
        {"SystemStart", "Start Windows", "C:\\WINDOWS\\MEDIA\\The Microsoft Sound.wav"},
    };
    for (const Event& event : events) {
        user.Key(Bytes("AppEvents\\EventLabels\\") + event.name).String({}, event.label);
        RegistryKeySpec& scheme =
            user.Key(Bytes("AppEvents\\Schemes\\Apps\\.Default\\") + event.name);
        scheme.Key(".Current").String({}, event.sound);
        scheme.Key(".Default").String({}, event.sound);
    }
    user.Key("AppEvents\\Schemes\\Apps\\.Default").String({}, "Windows");
    user.Key("AppEvents\\Schemes\\Names\\.Default").String({}, "Windows Default");
    user.Key("AppEvents\\Schemes\\Names\\.None").String({}, "No Sounds");

    user.Key("Control Panel\\Desktop")
        .String("ScreenSaveActive", "1")
        .String("ScreenSaveTimeOut", "900")
        .String("ScreenSaveUsePassword", "0")
        .String("Wallpaper", "(None)")
        .String("TileWallpaper", "0")
        .String("WallpaperStyle", "0")
        .String("Pattern", "(None)")
        .String("CoolSwitch", "1")
        .String("GridGranularity", "0")
        .String("IconSpacing", "75")
        .String("MenuShowDelay", "400")
        .Binary("UserPreferencemask", Bytes("\x28\0\0\0", 4));
    user.Key("Control Panel\\Desktop\\WindowMetrics")
        .String("BorderWidth", "-15")
        .String("IconSpacing", "-1125")
        .String("IconVerticalspacing", "-1125")
        .Binary("IconFont", Seeded(random, 60))
        .Binary("MenuFont", Seeded(random, 60))
        .Binary("StatusFont", Seeded(random, 60))
        .Binary("MessageFont", Seeded(random, 60))
        .String("Shell Icon BPP", "16")
        .String("Shell Icon Size", "32");
    const char* const colors[][2] = {
        {"ActiveBorder", "192 192 192"},  {"ActiveTitle", "0 0 128"},
        {"AppWorkspace", "128 128 128"},  {"Background", "0 128 128"},
        {"ButtonFace", "192 192 192"},    {"ButtonHilight", "255 255 255"},
        {"ButtonShadow", "128 128 128"},  {"ButtonText", "0 0 0"},
        {"GrayText", "128 128 128"},      {"Hilight", "0 0 128"},
        {"HilightText", "255 255 255"},   {"InactiveBorder", "192 192 192"},
        {"InactiveTitle", "128 128 128"}, {"InactiveTitleText", "192 192 192"},
        {"Menu", "192 192 192"},          {"MenuText", "0 0 0"},
        {"Scrollbar", "192 192 192"},     {"TitleText", "255 255 255"},
        {"Window", "255 255 255"},        {"WindowFrame", "0 0 0"},
        {"WindowText", "0 0 0"},
    };
    RegistryKeySpec& colorKey = user.Key("Control Panel\\Colors");
    for (const auto& [name, value] : colors) colorKey.String(name, value);
    user.Key("Control Panel\\International")
        .String("Locale", "00000409")
        .String("sCountry", "United States")
        .String("sShortDate", "M/d/yy")
        .String("sTimeFormat", "h:mm:ss tt")
        .String("iCountry", "1");
    user.Key("Control Panel\\Mouse")
        .String("DoubleClickSpeed", "500")
        .String("MouseSpeed", "1")
        .String("MouseThreshold1", "6")
        .String("MouseThreshold2", "10")
        .String("SwapMouseButtons", "0");
    user.Key("Control Panel\\Sounds").String("Beep", "yes");
    user.Key("Control Panel\\Accessibility\\StickyKeys").String("Flags", "467");
    user.Key("Control Panel\\Accessibility\\ToggleKeys").String("Flags", "34");
    user.Key("Control Panel\\Accessibility\\MouseKeys")
        .String("Flags", "50")
        .String("MaximumSpeed", "40");
    user.Key("Control Panel\\Cursors").String({}, "Windows Default");
    user.Key("Control Panel\\Appearance\\Schemes").Binary("Windows Standard", Seeded(random, 818));
    user.Key("keyboard layout\\preload\\1").String({}, "00000409");
    user.Key("keyboard layout\\substitutes");
    user.Key("keyboard layout\\toggle").String({}, "1");
    user.Key("Network\\Persistent");
    user.Key("Network\\Recent");
    user.Key("RemoteAccess").Binary("InstallType", QByteArray(1, '\3'));
    user.Key("InstallLocationsMRU").String("a", "D:\\WIN98\\").String("MRUList", "a");

    RegistryKeySpec& windows = user.Key("Software\\Microsoft\\Windows\\CurrentVersion");
    windows.Key("Explorer")
        .Binary("ShellState", Seeded(random, 20))
        .Binary("Link", Le32(0))
        .Binary("CleanShutdown", Le32(1));
    const char* const folders[][2] = {
        {"Desktop", "C:\\WINDOWS\\Desktop"},
        {"Programs", "C:\\WINDOWS\\Start Menu\\Programs"},
        {"Start Menu", "C:\\WINDOWS\\Start Menu"},
        {"Startup", "C:\\WINDOWS\\Start Menu\\Programs\\StartUp"},
        {"Fonts", "C:\\WINDOWS\\FONTS"},
        {"SendTo", "C:\\WINDOWS\\SendTo"},
        {"Recent", "C:\\WINDOWS\\Recent"},
        {"Favorites", "C:\\WINDOWS\\Favorites"},
        {"Templates", "C:\\WINDOWS\\ShellNew"},
        {"Personal", "C:\\My Documents"},
        {"NetHood", "C:\\WINDOWS\\NetHood"},
        {"Cache", "C:\\WINDOWS\\Temporary Internet Files"},
        {"History", "C:\\WINDOWS\\History"},
        {"AppData", "C:\\WINDOWS\\Application Data"},
    };
    RegistryKeySpec& shellFolders = windows.Key("Explorer\\Shell Folders");
    for (const auto& [name, path] : folders) shellFolders.String(name, path);
    windows.Key("Explorer\\User Shell Folders").String("AppData", "C:\\WINDOWS\\Application Data");
    windows.Key("Explorer\\RunMRU")
        .String("a", "notepad\\1")
        .String("b", "regedit\\1")
        .String("c", "command\\1")
        .String("MRUList", "cba");
    windows.Key("Explorer\\RecentDocs")
        .Binary("0", Seeded(random, 30))
        .Binary("MRUList", Bytes("\0\0\0\0", 4));
    windows.Key("Explorer\\StreamMRU").Binary("0", Seeded(random, 300)).Binary("MRUList", Le32(0));
    windows.Key("Explorer\\Streams\\0").Binary("ViewView", Seeded(random, 200));
    windows.Key("Explorer\\Streams\\1").Binary("ViewView", Seeded(random, 200));
    windows.Key("Explorer\\Advanced")
        .Dword("Hidden", 2)
        .Dword("HideFileExt", 1)
        .Dword("ShowInfoTip", 1);
    windows.Key("Explorer\\Tips").Binary("Next", Bytes("\4\0", 2)).Binary("Show", Le32(0));
    windows.Key("Internet Settings")
        .String("User Agent", "Mozilla/4.0 (compatible; MSIE 5.0; Windows 98; DigExt)")
        .Dword("ProxyEnable", 0)
        .Dword("MigrateProxy", 1)
        .Binary("EnableHttp1_1", Le32(1));
    windows.Key("Internet Settings\\Cache\\Paths").Dword("Paths", 4);
    windows.Key("Policies\\Explorer").Binary("NoDriveTypeAutoRun", Le32(0x95));
    windows.Key("Applets\\Paint\\View").Binary("WindowPlacement", Seeded(random, 44));
    windows.Key("Applets\\Wordpad\\Options").Binary("FrameRect", Seeded(random, 20));
    windows.Key("Applets\\SysTray").Dword("Services", 0x1F);
    windows.Key("Group Policy");
    windows.Key("Run");
    user.Key("Software\\Microsoft\\Notepad")
        .String("lfFaceName", "Fixedsys")
        .Dword("iPointSize", 0)
        .Dword("fWrap", 0)
        .Dword("iWindowPosX", 88)
        .Dword("iWindowPosY", 88)
        .Dword("iWindowPosDX", 540)
        .Dword("iWindowPosDY", 380);
    user.Key("Software\\Microsoft\\Internet Explorer\\Main")
        .String("Start Page", "http://home.microsoft.com/")
        .String("Search Page", "http://home.microsoft.com/access/allinone.asp")
        .String("Anchor Underline", "yes")
        .Binary("Window_Placement", Seeded(random, 44));
    user.Key("Software\\Microsoft\\Internet Explorer\\TypedURLs")
        .String("url1", "http://www.microsoft.com/windows98/");
    user.Key("Software\\Microsoft\\Windows Messaging Subsystem\\Profiles");
    user.Key("Software\\Microsoft\\Multimedia\\Audio").Binary("SystemFormats", Seeded(random, 36));
    user.Key("Software\\Microsoft\\Multimedia\\Sound Recorder")
        .Binary("Window Position", Seeded(random, 8));
    user.Key("Software\\Microsoft\\Clock").String("iFormat", "1");
    user.Key("Software\\Microsoft\\Calc").String("layout", "1");
    user.Key("Software\\Microsoft\\Schedule+\\Application").String("LocalPath", "C:\\WINDOWS");
    user.Key("Software\\Microsoft\\Plus!\\System").String("Hi", "Hi");
    user.Key("Software\\Policies");
    user.Key("Software\\Classes");
    user.Key("Software\\Netscape\\Netscape Navigator\\Main")
        .String("Install Directory", "C:\\Program Files\\Netscape");
    user.Key("Software\\WinRAR\\General").Dword("ShowComment", 1);
    return root;
}

}  // namespace stowix::tools
