#include "windows98_drive.h"

#include "registry_file_writer.h"
#include "windows98_registry.h"

#include <QStringList>

#include <cstdint>
#include <random>

namespace stowix::tools {

namespace {

constexpr int R = 1;
constexpr int H = 2;
constexpr int S = 4;
constexpr int A = 32;

constexpr qsizetype KiB = 1024;
constexpr qsizetype MiB = 1024 * KiB;

// Times as a Windows 98 Second Edition drive holds them: the release's own files, then the
// files that setup and the user changed afterwards. FAT keeps even seconds.
QDateTime At(int year, int month, int day, int hour, int minute, int second) {
    return QDateTime(QDate(year, month, day), QTime(hour, minute, second), Qt::UTC);
}
const QDateTime Release = At(1999, 4, 23, 22, 22, 0);
const QDateTime Setup = At(1999, 10, 30, 9, 14, 36);
const QDateTime LastBoot = At(1999, 11, 5, 8, 2, 44);
const QDateTime Edited = At(1999, 11, 4, 19, 31, 8);

// The seed of a file's bytes comes from its path alone, so one file's bytes never depend on
// which other files the options add.
std::uint32_t SeedOf(const QString& path) {
    std::uint32_t hash = 2166136261u;  // FNV-1a
    for (QChar c : path) {
        hash ^= c.unicode();
        hash *= 16777619u;
    }
    return hash;
}

// header, then seeded bytes up to size.
QByteArray Binary(const QString& seedName, qsizetype size, const QByteArray& header = {}) {
    QByteArray bytes = header.left(size);
    bytes.reserve(size);
    std::mt19937 random(SeedOf(seedName));
    while (bytes.size() + 4 <= size) {
        const std::uint32_t word = random();
        const char quad[4] = {char(word), char(word >> 8), char(word >> 16), char(word >> 24)};
        bytes.append(quad, 4);
    }
    while (bytes.size() < size) bytes.append(char(random()));
    return bytes;
}

// A DOS text: lines joined by CR LF, with a final CR LF.
QByteArray Text(const QStringList& lines) {
    return (lines.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n")).toLatin1();
}

QByteArray Executable(const QString& seedName, qsizetype size) {
    return Binary(seedName, size, QByteArray("MZ\x90\x00\x03\x00\x00\x00\x04\x00", 10));
}

QByteArray ProgramInformation(const QString& seedName, const QByteArray& title) {
    QByteArray header("\x00\x78", 2);
    header.append(title.leftJustified(30, ' ', true));
    QByteArray bytes = Binary(seedName, 967, header);
    bytes.replace(0x171, 16, QByteArray("MICROSOFT PIFEX\0", 16));
    return bytes;
}

QByteArray WinIni() {
    return Text({
        "[windows]",
        "load=",
        "run=",
        "NullPort=None",
        "device=HP LaserJet 4L,HPPCL5MS,LPT1:",
        "",
        "[Desktop]",
        "Wallpaper=(None)",
        "TileWallpaper=0",
        "WallpaperStyle=0",
        "Pattern=(None)",
        "",
        "[intl]",
        "iCountry=1",
        "ICurrDigits=2",
        "iCurrency=0",
        "iDate=0",
        "iDigits=2",
        "iLZero=0",
        "iMeasure=1",
        "iNegCurr=0",
        "iTime=0",
        "iTLZero=0",
        "s1159=AM",
        "s2359=PM",
        "sCountry=United States",
        "sCurrency=$",
        "sDate=/",
        "sDecimal=.",
        "sLanguage=enu",
        "sList=,",
        "sLongDate=dddd, MMMM dd, yyyy",
        "sShortDate=M/d/yy",
        "sThousand=,",
        "sTime=:",
        "",
        "[fonts]",
        "",
        "[extensions]",
        "txt=notepad.exe ^.txt",
        "ini=notepad.exe ^.ini",
        "bmp=pbrush.exe ^.bmp",
        "wri=write.exe ^.wri",
        "hlp=winhlp32.exe ^.hlp",
        "",
        "[mci extensions]",
        "wav=waveaudio",
        "mid=sequencer",
        "rmi=sequencer",
        "avi=AVIVideo",
        "",
        "[ports]",
        "COM1:=9600,n,8,1,x",
        "COM2:=9600,n,8,1,x",
        "LPT1:=",
        "FILE:=",
        "",
        "[PrinterPorts]",
        "HP LaserJet 4L=HPPCL5MS,LPT1:,15,45",
        "",
        "[devices]",
        "HP LaserJet 4L=HPPCL5MS,LPT1:",
        "",
        "[Compatibility]",
        "_3DPC=0x00400000",
        "WINWORD=0x00001000",
        "",
        "[Windows Help]",
        "M_WindowPosition=[213,0,614,720,0]",
        "",
        "[MSUCE]",
        "Advanced=0",
        "CodePage=Windows",
        "Font=Arial",
    });
}

QByteArray SystemIni() {
    return Text({
        "[boot]",
        "oemfonts.fon=vgaoem.fon",
        "shell=Explorer.exe",
        "system.drv=system.drv",
        "drivers=mmsystem.dll power.drv",
        "user.exe=user.exe",
        "gdi.exe=gdi.exe",
        "sound.drv=sound.drv",
        "dibeng.drv=dibeng.dll",
        "comm.drv=comm.drv",
        "mouse.drv=mouse.drv",
        "keyboard.drv=keyboard.drv",
        "*DisplayFallback=0",
        "fixedfon.fon=vgafix.fon",
        "fonts.fon=vgasys.fon",
        "display.drv=pnpdrvr.drv",
        "386Grabber=vgafull.3gr",
        "network.drv=",
        "language.dll=",
        "SCRNSAVE.EXE=",
        "",
        "[keyboard]",
        "subtype=",
        "type=4",
        "keyboard.dll=",
        "oemansi.bin=",
        "",
        "[boot.description]",
        "keyboard.typ=Standard 101/102-Key or Microsoft Natural Keyboard",
        "mouse.drv=Standard mouse",
        "aspect=100,96,96",
        "display.drv=Standard PCI Graphics Adapter (VGA)",
        "",
        "[386Enh]",
        "ebios=*ebios",
        "woafont=dosapp.fon",
        "mouse=*vmouse, msmouse.vxd",
        "device=*dynapage",
        "device=*vcd",
        "device=*vpd",
        "device=*int13",
        "keyboard=*vkd",
        "display=*vdd,*vflatd",
        "MinSPs=16",
        "PagingDrive=C:",
        "",
        "[NonWindowsApp]",
        "CommandEnvSize=4096",
        "",
        "[vcache]",
        "MinFileCache=4096",
        "MaxFileCache=32768",
        "",
        "[power.drv]",
        "",
        "[drivers]",
        "wave=mmsndsys.drv",
        "midi=mmsndsys.drv",
        "",
        "[mci]",
        "cdaudio=mcicda.drv",
        "sequencer=mciseq.drv",
        "waveaudio=mciwave.drv",
        "avivideo=mciavi.drv",
        "videodisc=mcipionr.drv",
        "vcr=mcivisca.drv",
        "MPEGVideo=mciqtz.drv",
        "MPEGVideo2=mciqtz.drv",
        "",
        "[drivers32]",
        "msacm.imaadpcm=imaadp32.acm",
        "msacm.msadpcm=msadp32.acm",
        "vidc.CVID=iccvid.dll",
        "VIDC.IV31=ir32_32.dll",
        "",
        "[TTFontDimenCache]",
        "0 4=2 4",
        "0 5=3 5",
        "0 6=4 6",
        "",
        "[Password Lists]",
        "ADMIN=C:\\WINDOWS\\ADMIN.PWL",
    });
}

QByteArray ProgmanIni() {
    return Text({
        "[Settings]",
        "Window=60 28 565 388 1",
        "SaveSettings=1",
        "MinOnRun=0",
        "AutoArrange=1",
        "Startup=",
        "",
        "[Groups]",
        "Group1=C:\\WINDOWS\\MAIN.GRP",
        "Group2=C:\\WINDOWS\\ACCESSOR.GRP",
        "Group3=C:\\WINDOWS\\GAMES.GRP",
        "Group4=C:\\WINDOWS\\STARTUP.GRP",
        "Order= 4 3 2 1",
    });
}

QByteArray ControlIni() {
    return Text({
        "[current]",
        "color schemes=Windows Standard",
        "",
        "[color schemes]",
        "Windows Standard=C0C0C0,FFFFFF,FFFFFF,0,C0C0C0,0,800000,808080,FFFFFF,C0C0C0,C0C0C0,"
        "0,808080,C0C0C0,808080,0,808080,800000,FFFFFF,0,FFFFFF",
        "",
        "[Patterns]",
        "(None)=(None)",
        "Boxes=127 65 65 65 65 65 127 0",
        "Paisley=2 7 7 2 32 80 80 32",
        "Weave=136 84 34 69 136 21 34 81",
        "",
        "[installed]",
        "3.1=yes",
        "",
        "[MMCPL]",
        "NumApps=15",
        "X=0",
        "Y=0",
        "W=430",
        "H=240",
        "",
        "[drivers.desc]",
        "mmdrv.dll=Multimedia driver",
        "timer.drv=Timer driver",
        "mciwave.drv=[MCI] Sound",
        "mciseq.drv=[MCI] MIDI Sequencer",
        "mcicda.drv=[MCI] CD Audio",
        "",
        "[Screen Saver.Marquee]",
        "Font=Times New Roman",
        "Size=24",
        "Text=Stowix was here",
        "Speed=14",
    });
}

QByteArray WinfileIni() {
    return Text({
        "[Settings]",
        "Window=0,0,640,480, , ,1",
        "dir1=0,0,500,420,-1,-1,1,30,201,1905,174,"
        "C:\\WINDOWS\\*.*",
    });
}

QByteArray ProtocolIni() {
    return Text({
        "[ndishlp$]",
        "DriverName=ndishlp$",
        "Bindings=PCNTN4M$",
        "",
        "[protman$]",
        "DriverName=protman$",
        "PriorityBoost=0",
        "",
        "[PCNTN4M$]",
        "DriverName=PCNTND$",
        "",
        "[data]",
        "version=v4.10.2222",
        "netcards=PCNTN4M$,*pnp2000",
        "",
        "[nwlink$]",
        "DriverName=nwlink$",
        "Frame_Type=4",
        "cachesize=0",
        "Bindings=PCNTN4M$",
        "",
    });
}

QByteArray OdbcIni() {
    return Text({
        "[ODBC 32 bit Data Sources]",
        "MS Access Database=Microsoft Access Driver (*.mdb) (32 bit)",
        "",
        "[MS Access Database]",
        "Driver32=C:\\WINDOWS\\SYSTEM\\odbcjt32.dll",
    });
}

QByteArray OdbcinstIni() {
    return Text({
        "[ODBC 32 bit Drivers]",
        "Microsoft Access Driver (*.mdb) (32 bit)=1",
        "",
        "[Microsoft Access Driver (*.mdb) (32 bit)]",
        "Driver=C:\\WINDOWS\\SYSTEM\\odbcjt32.dll",
        "Setup=C:\\WINDOWS\\SYSTEM\\odbcjt32.dll",
        "32Bit=1",
    });
}

QByteArray TelephonIni() {
    return Text({
        "[Locations]",
        "CurrentLocation=0,0",
        "Locations=1,1",
        "Location0=0,\"Default Location\",\"\",\"\",\"617\",1,0,0,1,\"\",0,\"\"",
        "",
        "[Providers]",
        "NumProviders=1",
        "NextProviderID=1",
        "ProviderID0=0",
        "ProviderFileName0=unimdm.tsp",
    });
}

QByteArray ExtraIni(int number) {
    std::mt19937 random(SeedOf(QStringLiteral("extra ini %1").arg(number)));
    QStringList lines;
    const int sections = 2 + int(random() % 3);
    for (int s = 0; s < sections; ++s) {
        lines.push_back(QStringLiteral("[Section%1]").arg(s + 1));
        const int keys = 3 + int(random() % 8);
        for (int k = 0; k < keys; ++k)
            lines.push_back(QStringLiteral("Key%1=%2").arg(k + 1).arg(random() % 100000));
        lines.push_back(QString());
    }
    return Text(lines);
}

QByteArray AutoexecBat() {
    return Text({
        "@ECHO OFF",
        "SET BLASTER=A220 I5 D1 H5 P330 T6",
        "SET SBPCI=C:\\SBPCI",
        "PATH C:\\WINDOWS;C:\\WINDOWS\\COMMAND",
        "SET TEMP=C:\\WINDOWS\\TEMP",
        "SET TMP=C:\\WINDOWS\\TEMP",
        "LH C:\\WINDOWS\\COMMAND\\DOSKEY.COM /INSERT",
    });
}

QByteArray ConfigSys() {
    return Text({
        "DEVICE=C:\\WINDOWS\\HIMEM.SYS",
        "DEVICE=C:\\WINDOWS\\EMM386.EXE NOEMS",
        "DOS=HIGH,UMB",
        "FILES=40",
        "BUFFERS=30",
        "DEVICEHIGH=C:\\WINDOWS\\COMMAND\\DISPLAY.SYS CON=(EGA,,1)",
        "COUNTRY=001,437,C:\\WINDOWS\\COMMAND\\COUNTRY.SYS",
    });
}

QByteArray MsdosSys() {
    QStringList lines{
        "[Paths]",
        "WinDir=C:\\WINDOWS",
        "WinBootDir=C:\\WINDOWS",
        "HostWinBootDrv=C",
        "",
        "[Options]",
        "BootMulti=1",
        "BootGUI=1",
        "DoubleBuffer=1",
        "AutoScan=1",
        "WinVer=4.10.2222",
        ";",
        ";The following lines are required for compatibility with other programs.",
        ";Do not remove them (MSDOS.SYS needs to be >1024 bytes).",
    };
    for (char c = 'a'; c <= 's'; ++c)
        lines.push_back(QStringLiteral(";") + QString(69, u'x') + QLatin1Char(c));
    return Text(lines);
}

// The tick stamp that opens each boot log line, as "[000E2C01]".
QString Tick(unsigned tick) {
    return u'[' + QString::number(tick, 16).toUpper().rightJustified(8, u'0') + u']';
}

QByteArray BootlogTxt() {
    QStringList lines;
    unsigned tick = 0x000E2C01;
    for (const char* device :
         {"C:\\WINDOWS\\HIMEM.SYS", "C:\\WINDOWS\\EMM386.EXE", "C:\\WINDOWS\\DBLBUFF.SYS",
          "C:\\WINDOWS\\IFSHLP.SYS", "C:\\WINDOWS\\COMMAND\\DISPLAY.SYS"}) {
        lines.push_back(Tick(tick++) + " Loading Device = " + QLatin1String(device));
        lines.push_back(Tick(tick++) + " LoadSuccess    = " + QLatin1String(device));
    }
    for (const char* vxd : {"VMM", "VPOWERD", "ENABLE", "VKD", "VFLATD", "BIOS", "VDD", "VSHARE",
                            "VWIN32", "VFBACKUP", "VCOMM", "IFSMGR", "IOS"}) {
        lines.push_back(Tick(tick++) + " Loading Vxd = " + QLatin1String(vxd));
        lines.push_back(Tick(tick++) + " LoadSuccess = " + QLatin1String(vxd));
    }
    lines.push_back(Tick(tick++) + " Terminate = Reset Display");
    lines.push_back(Tick(tick++) + " EndTerminate = Reset Display");
    return Text(lines);
}

QByteArray DosstartBat() {
    return Text({
        "@echo off",
        "rem This batch file runs when you choose Restart in MS-DOS mode.",
        "C:\\WINDOWS\\COMMAND\\MSCDEX.EXE /D:MSCD001 /L:E",
        "LH C:\\MOUSE\\MOUSE.COM",
    });
}

QByteArray ReadmeTxt(const QString& title) {
    return Text({
        title,
        "",
        "This document provides late-breaking or other information that",
        "supplements the Microsoft Windows 98 documentation.",
        "",
        "To view a file on screen in Notepad, maximize the Notepad window.",
        "",
        "To print a file, open it in Notepad or another word processor, and then use",
        "the Print command on the File menu.",
    });
}

}  // namespace

DriveContents Windows98Drive(const DriveOptions& options) {
    DriveContents drive;
    drive.folders = {
        "WINDOWS",          "WINDOWS\\SYSTEM",     "WINDOWS\\COMMAND",
        "WINDOWS\\FONTS",   "WINDOWS\\INF",        "WINDOWS\\TEMP",
        "WINDOWS\\Desktop", "WINDOWS\\Start Menu", "WINDOWS\\Start Menu\\Programs",
        "My Documents",     "Program Files",       "Program Files\\Accessories",
    };

    auto add = [&drive](QString path, QByteArray contents, int attributes, QDateTime modified) {
        drive.files.push_back({std::move(path), std::move(contents), attributes, modified});
    };

    // The root: start-up files and setup's logs.
    add("AUTOEXEC.BAT", AutoexecBat(), A, Edited);
    add("CONFIG.SYS", ConfigSys(), A, Edited);
    add("COMMAND.COM", Executable("COMMAND.COM", 93890), A, Release);
    add("IO.SYS", Binary("IO.SYS", 222390, "MZ"), R | H | S, Release);
    add("MSDOS.SYS", MsdosSys(), R | H | S, Setup);
    add("BOOTLOG.TXT", BootlogTxt(), R | H | S | A, LastBoot);
    add("BOOTLOG.PRV", BootlogTxt(), H | A, Setup);
    add("DETLOG.TXT",
        Text({"[System Detection: 10/30/99 - 09:02:11]",
              "Parameters \"\", "
              "InfParams \"\", Flags=01004233",
              "SDMVer=0410.2222"}),
        H | A, Setup);
    add("SETUPLOG.TXT",
        Text({"[Setup]", "InstallType=1", "Customise=0", "Express=0", "ChanceOfSuccess=95",
              "OldWinDir=", "OldWinVer=0.0", "BackupFiles=1"}),
        H | A, Setup);
    add("SUHDLOG.DAT", Binary("SUHDLOG.DAT", 5166), R | H | A, Setup);
    add("SCANDISK.LOG",
        Text({"Microsoft ScanDisk", "",
              "ScanDisk checked drive C for problems, "
              "with the following results:",
              "", "  Directory structure", "    ScanDisk did not find any problems."}),
        A, LastBoot);

    // The Windows folder: registry, its copies, configuration and the rest.
    const qsizetype systemDatSize =
        options.systemDatMegabytes > 0 ? options.systemDatMegabytes * MiB : 64 * KiB;
    // The registry: sound files of a realistic tree, filled up with free blocks to the size asked
    // for. The copies of the last good start (*.DA0) hold the same keys.
    const QByteArray systemDat = WriteRegistryFile(Windows98SystemTree(), systemDatSize).bytes;
    const QByteArray userDat = WriteRegistryFile(Windows98UserTree(), 256 * KiB).bytes;
    add("WINDOWS\\SYSTEM.DAT", systemDat, R | H | S | A, LastBoot);
    add("WINDOWS\\SYSTEM.DA0", systemDat, R | H | S | A, LastBoot);
    add("WINDOWS\\USER.DAT", userDat, R | H | A, LastBoot);
    add("WINDOWS\\USER.DA0", userDat, R | H | A, LastBoot);

    add("WINDOWS\\WIN.INI", WinIni(), A, Edited);
    add("WINDOWS\\SYSTEM.INI", SystemIni(), A, Edited);
    add("WINDOWS\\PROGMAN.INI", ProgmanIni(), A, Setup);
    add("WINDOWS\\CONTROL.INI", ControlIni(), A, Setup);
    add("WINDOWS\\WINFILE.INI", WinfileIni(), A, Setup);
    add("WINDOWS\\PROTOCOL.INI", ProtocolIni(), A, Setup);
    add("WINDOWS\\ODBC.INI", OdbcIni(), A, Setup);
    add("WINDOWS\\ODBCINST.INI", OdbcinstIni(), A, Setup);
    add("WINDOWS\\TELEPHON.INI", TelephonIni(), A, Setup);
    for (int i = 1; i <= options.extraIniFiles; ++i)
        add(QStringLiteral("WINDOWS\\X%1.INI").arg(i, 7, 10, QLatin1Char('0')), ExtraIni(i), A,
            Setup);

    add("WINDOWS\\MAIN.GRP", Binary("MAIN.GRP", 4436, "PMCC"), A, Setup);
    add("WINDOWS\\ACCESSOR.GRP", Binary("ACCESSOR.GRP", 6912, "PMCC"), A, Setup);
    add("WINDOWS\\GAMES.GRP", Binary("GAMES.GRP", 1920, "PMCC"), A, Setup);
    add("WINDOWS\\STARTUP.GRP", Binary("STARTUP.GRP", 73, "PMCC"), A, Setup);

    add("WINDOWS\\_DEFAULT.PIF", ProgramInformation("_DEFAULT.PIF", "MS-DOS Prompt"), A, Release);
    add("WINDOWS\\DOSPRMPT.PIF", ProgramInformation("DOSPRMPT.PIF", "MS-DOS Prompt"), A, Setup);
    add("WINDOWS\\EXIT TO DOS.PIF", ProgramInformation("EXIT TO DOS.PIF", "Exit To DOS"), A, Setup);
    add("WINDOWS\\ADMIN.PWL", Binary("ADMIN.PWL", 1140, "\xB0\x46\x4D\x4E"), A, Edited);

    add("WINDOWS\\DOSSTART.BAT", DosstartBat(), A, Setup);
    add("WINDOWS\\WIN.COM", Executable("WIN.COM", 24791), A, Release);
    add("WINDOWS\\COMMAND.COM", Executable("COMMAND.COM", 93890), A, Release);
    add("WINDOWS\\ShellIconCache", Binary("ShellIconCache", 196 * KiB), H | A, LastBoot);
    add("WINDOWS\\TTFCACHE", Binary("TTFCACHE", 40 * KiB), H | A, LastBoot);

    // Files that no backup group takes.
    add("WINDOWS\\NOTEPAD.EXE", Executable("NOTEPAD.EXE", 53248), A, Release);
    add("WINDOWS\\REGEDIT.EXE", Executable("REGEDIT.EXE", 123904), A, Release);
    add("WINDOWS\\HIMEM.SYS", Binary("HIMEM.SYS", 33191), A, Release);
    add("WINDOWS\\README.TXT", ReadmeTxt("Microsoft Windows 98 README for Windows"), A, Release);
    add("WINDOWS\\FAQ.TXT", ReadmeTxt("Windows 98 Frequently Asked Questions"), A, Release);
    add("WINDOWS\\SETUP.OLD", Text({"[Setup]", "Done=1"}), A, Setup);
    add("WINDOWS\\INF\\MSHDC.INF", Text({"[Version]", "Signature=\"$CHICAGO$\"", "Class=hdc"}), A,
        Release);
    add("WINDOWS\\COMMAND\\ATTRIB.EXE", Executable("ATTRIB.EXE", 15252), A, Release);
    add("WINDOWS\\COMMAND\\XCOPY.EXE", Executable("XCOPY.EXE", 3878), A, Release);
    add("WINDOWS\\COMMAND\\DELTREE.EXE", Executable("DELTREE.EXE", 19083), A, Release);
    add("WINDOWS\\COMMAND\\DOSKEY.COM", Executable("DOSKEY.COM", 15495), A, Release);
    add("WINDOWS\\SYSTEM\\KRNL386.EXE", Executable("KRNL386.EXE", 75490), A, Release);
    add("WINDOWS\\SYSTEM\\VMM32.VXD", Executable("VMM32.VXD", 1011744), A, Setup);
    add("WINDOWS\\SYSTEM\\SHELL32.DLL", Executable("SHELL32.DLL", 1388544), A, Release);
    add("WINDOWS\\SYSTEM\\SYSTEM.INI",
        Text({"; a stray copy, not the Windows folder's own", "[boot]", "shell=Explorer.exe"}), A,
        Setup);
    add("WINDOWS\\FONTS\\ARIAL.TTF", Binary("ARIAL.TTF", 65536, QByteArray("\x00\x01\x00\x00", 4)),
        A, Release);
    add("WINDOWS\\FONTS\\COUR.TTF", Binary("COUR.TTF", 2048, QByteArray("\x00\x01\x00\x00", 4)), A,
        Release);
    add("WINDOWS\\FONTS\\VGASYS.FON", Executable("VGASYS.FON", 5360), A, Release);
    add("WINDOWS\\Start Menu\\Programs\\MS-DOS Prompt.pif",
        ProgramInformation("MS-DOS Prompt.pif", "MS-DOS Prompt"), A, Setup);
    add("Program Files\\Accessories\\WORDPAD.EXE", Executable("WORDPAD.EXE", 204800), A, Release);
    return drive;
}

}  // namespace stowix::tools
