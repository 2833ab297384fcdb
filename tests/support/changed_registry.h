#pragma once
// A generated Windows 98 SYSTEM.DAT tree after an experiment, for the tests of registry
// comparisons: one key added (with a value), one key removed, one value changed. The paths below
// are what a comparison of the generated tree with this one must find, under the hive's root.

#include "windows98_registry.h"

#include <algorithm>

namespace stowix::test {

inline const QString AddedRegistryKey = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Experiment";
inline const QString RemovedRegistryKey =
    "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\RunOnce";
inline const QString ChangedRegistryKey =
    "HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\control\\ComputerName\\ComputerName";
inline const QString ChangedRegistryValue = "ComputerName";  // "WIN98" -> "LABPC"

inline tools::RegistryKeySpec ChangedWindows98SystemTree() {
    tools::RegistryKeySpec root = tools::Windows98SystemTree();
    root.Key("SOFTWARE\\Experiment").String("Path", "C:\\EXPERIMENT");
    std::vector<tools::RegistryKeySpec>& current =
        root.Key("SOFTWARE\\Microsoft\\Windows\\CurrentVersion").subKeys;
    std::erase_if(current, [](const tools::RegistryKeySpec& key) { return key.name == "RunOnce"; });
    for (tools::RegistryValueSpec& value :
         root.Key("System\\CurrentControlSet\\control\\ComputerName\\ComputerName").values)
        if (value.name == "ComputerName") value.data = QByteArray("LABPC", 6);
    return root;
}

}  // namespace stowix::test
