// The sample Mac: an Apple silicon laptop on macOS 14, with the usual
// daemons and agents, a few apps, kernel extensions and app frameworks that
// log with their own strings, and a shared cache of system libraries.

#include "tools/samplebundle/SampleTables.h"

namespace SampleBundle {

namespace {

using ArchiveWriter::StringsRef;
namespace F = ProcessFlag;

const ProcessRow kProcesses[] = {
    {"/kernel", 0, 30, F::chatty},
    {"/sbin/launchd", 0, 12, 0},
    {"/usr/libexec/logd", 0, 2, 0},
    {"/usr/libexec/UserEventAgent", 0, 4, 0},
    {"/usr/libexec/runningboardd", 0, 20, F::chatty},
    {"/System/Library/CoreServices/launchservicesd", 0, 10, 0},
    {"/System/Library/PrivateFrameworks/SkyLight.framework/Versions/A/Resources/WindowServer", 88, 25, F::chatty},
    {"/System/Library/CoreServices/loginwindow.app/Contents/MacOS/loginwindow", 501, 4, 0},
    {"/System/Library/CoreServices/Dock.app/Contents/MacOS/Dock", 501, 6, 0},
    {"/System/Library/CoreServices/Finder.app/Contents/MacOS/Finder", 501, 8, 0},
    {"/System/Library/CoreServices/SystemUIServer.app/Contents/MacOS/SystemUIServer", 501, 2, 0},
    {"/System/Library/CoreServices/ControlCenter.app/Contents/MacOS/ControlCenter", 501, 5, 0},
    {"/usr/sbin/mDNSResponder", 65, 15, F::chatty | F::network},
    {"/usr/libexec/configd", 0, 10, F::network},
    {"/System/Library/CoreServices/powerd.bundle/powerd", 0, 6, 0},
    {"/usr/sbin/bluetoothd", 0, 10, F::chatty},
    {"/usr/libexec/airportd", 0, 8, F::network},
    {"/usr/libexec/symptomsd", 0, 12, F::chatty | F::network},
    {"/usr/libexec/locationd", 205, 8, F::network},
    {"/System/Library/PrivateFrameworks/TCC.framework/Support/tccd", 0, 8, 0},
    {"/usr/libexec/trustd", 282, 8, F::network},
    {"/usr/sbin/securityd", 0, 3, 0},
    {"/usr/libexec/opendirectoryd", 0, 5, 0},
    {"/usr/sbin/coreaudiod", 202, 6, 0},
    {"/System/Library/Frameworks/CoreServices.framework/Frameworks/Metadata.framework/Support/mds", 0, 5, 0},
    {"/System/Library/Frameworks/CoreServices.framework/Frameworks/Metadata.framework/Versions/A/Support/mds_stores", 0, 6, 0},
    {"/System/Library/Frameworks/CoreServices.framework/Frameworks/Metadata.framework/Versions/A/Support/mdworker_shared", 501, 6, 0},
    {"/System/Library/PrivateFrameworks/CloudKitDaemon.framework/Support/cloudd", 501, 8, F::network},
    {"/System/Library/PrivateFrameworks/CloudDocsDaemon.framework/Versions/A/Support/bird", 501, 5, F::network},
    {"/usr/libexec/sharingd", 501, 8, F::network},
    {"/usr/libexec/rapportd", 501, 4, F::network},
    {"/System/Library/PrivateFrameworks/ApplePushService.framework/apsd", 0, 6, F::network},
    {"/usr/libexec/nsurlsessiond", 501, 6, F::network},
    {"/System/Library/PrivateFrameworks/SoftwareUpdate.framework/Resources/softwareupdated", 200, 2, F::network},
    {"/System/Library/CoreServices/backupd.bundle/Contents/Resources/backupd", 0, 2, 0},
    {"/usr/libexec/diskarbitrationd", 0, 2, 0},
    {"/System/Library/Frameworks/CoreServices.framework/Versions/A/Frameworks/FSEvents.framework/Versions/A/Support/fseventsd", 0, 2, 0},
    {"/usr/libexec/syspolicyd", 0, 4, F::network},
    {"/usr/libexec/amfid", 0, 2, 0},
    {"/usr/libexec/thermalmonitord", 0, 2, 0},
    {"/usr/sbin/distnoted", 501, 3, 0},
    {"/usr/sbin/cfprefsd", 501, 6, 0},
    {"/usr/sbin/usernoted", 501, 3, 0},
    {"/System/Library/CoreServices/NotificationCenter.app/Contents/MacOS/NotificationCenter", 501, 3, 0},
    {"/System/Library/CoreServices/Spotlight.app/Contents/MacOS/Spotlight", 501, 3, F::network},
    {"/usr/libexec/timed", 266, 1, F::network},
    {"/usr/libexec/kernelmanagerd", 0, 1, 0},
    {"/usr/libexec/watchdogd", 0, 1, 0},
    {"/usr/libexec/nehelper", 0, 2, 0},
    {"/usr/libexec/biometrickitd", 0, 1, 0},
    {"/usr/libexec/corebrightnessd", 0, 2, 0},
    {"/usr/libexec/containermanagerd", 501, 2, 0},
    {"/System/Library/PrivateFrameworks/IDS.framework/identityservicesd.app/Contents/MacOS/identityservicesd", 501, 4, F::network},
    {"/System/Library/Frameworks/WebKit.framework/Versions/A/XPCServices/com.apple.WebKit.WebContent.xpc/Contents/MacOS/com.apple.WebKit.WebContent", 501, 14, F::app | F::chatty | F::network},
    {"/System/Library/Frameworks/WebKit.framework/Versions/A/XPCServices/com.apple.WebKit.Networking.xpc/Contents/MacOS/com.apple.WebKit.Networking", 501, 8, F::network},
    {"/Applications/Safari.app/Contents/MacOS/Safari", 501, 10, F::app | F::network},
    {"/System/Applications/Mail.app/Contents/MacOS/Mail", 501, 6, F::app | F::network},
    {"/System/Applications/Music.app/Contents/MacOS/Music", 501, 4, F::app | F::network},
    {"/System/Applications/Utilities/Terminal.app/Contents/MacOS/Terminal", 501, 2, F::app | F::network},
    {"/Applications/Xcode.app/Contents/MacOS/Xcode", 501, 8, F::app | F::privateData | F::network},
    {"/Applications/Slack.app/Contents/MacOS/Slack", 501, 6, F::app | F::network},
    {"/Applications/Google Chrome.app/Contents/MacOS/Google Chrome", 501, 6, F::app | F::network},
    {"/Library/PrivilegedHelperTools/com.docker.vmnetd", 0, 1, F::noStrings},
    {"/Applications/zoom.us.app/Contents/MacOS/zoom.us", 501, 1, F::app | F::noStrings | F::network},
};

const LibraryRow kLibraries[] = {
    {"/usr/lib/system/libdispatch.dylib", false, 0x4c000},
    {"/usr/lib/system/libsystem_c.dylib", false, 0x7c000},
    {"/usr/lib/system/libsystem_info.dylib", false, 0x34000},
    {"/usr/lib/system/libsystem_malloc.dylib", false, 0x38000},
    {"/usr/lib/system/libxpc.dylib", false, 0x5c000},
    {"/usr/lib/libnetwork.dylib", false, 0x6b8000},
    {"/System/Library/Frameworks/CoreFoundation.framework/Versions/A/CoreFoundation", false, 0x4f8000},
    {"/System/Library/Frameworks/Security.framework/Versions/A/Security", false, 0x4a0000},
    {"/System/Library/Frameworks/IOKit.framework/Versions/A/IOKit", false, 0x108000},
    {"/System/Library/Frameworks/CFNetwork.framework/Versions/A/CFNetwork", false, 0x3c4000},
    {"/System/Library/Frameworks/Foundation.framework/Versions/C/Foundation", false, 0xc58000},
    {"/System/Library/PrivateFrameworks/TCC.framework/Versions/A/TCC", false, 0x2c000},
    {"/System/Library/PrivateFrameworks/RunningBoardServices.framework/Versions/A/RunningBoardServices", false, 0x98000},
    {"/System/Library/Frameworks/CoreServices.framework/Versions/A/Frameworks/LaunchServices.framework/Versions/A/LaunchServices", false, 0x2a0000},
    {"/System/Library/Frameworks/CoreAudio.framework/Versions/A/CoreAudio", false, 0x6c0000},
    {"/System/Library/PrivateFrameworks/SkyLight.framework/Versions/A/SkyLight", false, 0x5f4000},
    {"/System/Library/Frameworks/CoreBluetooth.framework/Versions/A/CoreBluetooth", false, 0x8c000},
    {"/System/Library/Frameworks/UserNotifications.framework/Versions/A/UserNotifications", false, 0x70000},
    {"/System/Library/Frameworks/CoreLocation.framework/Versions/A/CoreLocation", false, 0x1f8000},
    {"/System/Library/Frameworks/Accounts.framework/Versions/A/Accounts", false, 0x3c000},
    {"/System/Library/PrivateFrameworks/RunningBoard.framework/Versions/A/RunningBoard", false, 0x1c4000},
    {"/System/Library/PrivateFrameworks/Sharing.framework/Versions/A/Sharing", false, 0x6b0000},
    {"/System/Library/PrivateFrameworks/ApplePushService.framework/Versions/A/ApplePushService", false, 0x1a8000},
    {"/System/Library/PrivateFrameworks/SymptomEvaluator.framework/Versions/A/SymptomEvaluator", false, 0x4e0000},
    {"/System/Library/PrivateFrameworks/CoreBrightness.framework/Versions/A/CoreBrightness", false, 0x2d4000},
    {"/System/Library/PrivateFrameworks/SpotlightIndex.framework/Versions/A/SpotlightIndex", false, 0x5c8000},
    {"/System/Library/PrivateFrameworks/CloudKitDaemon.framework/Versions/A/CloudKitDaemon", true, 0x8a0000},
    {"/System/Library/Frameworks/AppKit.framework/Versions/C/AppKit", true, 0x1d5c000},
    {"/System/Library/Frameworks/CoreData.framework/Versions/A/CoreData", true, 0x4b4000},
    {"/System/Library/Frameworks/CloudKit.framework/Versions/A/CloudKit", true, 0x3d8000},
    {"/System/Library/Frameworks/Metal.framework/Versions/A/Metal", true, 0x2a8000},
    {"/System/Library/PrivateFrameworks/ManagedConfiguration.framework/Versions/A/ManagedConfiguration", true, 0x2e0000},
    {"/System/Library/PrivateFrameworks/DuetActivityScheduler.framework/Versions/A/DuetActivityScheduler", true, 0xd8000},
    {"/System/Library/Frameworks/WebKit.framework/Versions/A/WebKit", true, 0x1b9c000},
};

const PluginRow kPlugins[] = {
    {"/System/Library/Extensions/IOSkywalkFamily.kext/Contents/MacOS/IOSkywalkFamily", "kernel", StringsRef::absolute, 0xfe0007a30000, 0x9c000},
    {"/System/Library/Extensions/AppleBCMWLANCore.kext/Contents/MacOS/AppleBCMWLANCore", "kernel", StringsRef::absolute, 0xfe0007b14000, 0x1e4000},
    {"/System/Library/Extensions/Sandbox.kext/Contents/MacOS/Sandbox", "kernel", StringsRef::absolute, 0xfe0007d2c000, 0x78000},
    {"/System/Library/Extensions/AppleMobileFileIntegrity.kext/Contents/MacOS/AppleMobileFileIntegrity", "kernel", StringsRef::absolute, 0xfe0007db0000, 0x40000},
    {"/System/Library/Extensions/apfs.kext/Contents/MacOS/apfs", "kernel", StringsRef::absolute, 0xfe0007e00000, 0x1b0000},
    {"/System/Library/Extensions/IOUSBHostFamily.kext/Contents/MacOS/IOUSBHostFamily", "kernel", StringsRef::absolute, 0xfe0007fc0000, 0x88000},
    {"/Applications/Xcode.app/Contents/SharedFrameworks/DVTFoundation.framework/Versions/A/DVTFoundation", "Xcode", StringsRef::uuidRelative, 0x1047a0000, 0x5d0000},
    {"/Applications/Slack.app/Contents/Frameworks/Electron Framework.framework/Versions/A/Electron Framework", "Slack", StringsRef::absolute, 0x10a3c8000, 0x9a00000},
    {"/Applications/Google Chrome.app/Contents/Frameworks/Google Chrome Framework.framework/Versions/124.0.6367.119/Google Chrome Framework", "Google Chrome", StringsRef::absolute, 0x1125f0000, 0xe000000},
};

const SimpleDumpRow kSimpleDumps[] = {
    {"kernel", "", "AppleCredentialManager: boot policy initialized, SEP ready"},
    {"launchd", "com.apple.xpc.launchd", "launchd[1] starting: system boot, 4 domains bootstrapped in 212 ms"},
    {"logd", "com.apple.logd", "logd: persistent store opened, quota 10 MiB per file group"},
};

}  // namespace

const std::vector<StateDumpRow>& stateDumpRows()
{
    static const std::vector<StateDumpRow> table = {
        {"runningboardd", "RunningBoard State", {{"processes", "142"}, {"assertions", "311"}, {"domains", "57"}, {"suspended", "38"}, {"memoryPressure", "normal"}}},
        {"mDNSResponder", "mDNSResponder state", {{"cacheEntries", "1843"}, {"activeQuestions", "57"}, {"dnsServers", "192.168.1.1, 2603:8000:16a2:b300::1"}, {"privateDNS", "disabled"}}},
        {"configd", "SCDynamicStore", {{"sessions", "64"}, {"keys", "412"}, {"primaryInterface", "en0"}, {"primaryService", "Wi-Fi"}}},
        {"symptomsd", "Network usage", {{"flows", "226"}, {"interfaces", "en0, awdl0, utun3"}, {"wifiBytesIn", "2811928332"}, {"wifiBytesOut", "214087551"}}},
        {"locationd", "CLClientManager", {{"clients", "23"}, {"authorized", "11"}, {"activeSessions", "2"}}},
        {"WindowServer", "WindowServer displays", {{"displays", "2"}, {"main", "Built-in Retina Display"}, {"refreshRate", "120"}, {"windows", "318"}}},
    };
    return table;
}

std::span<const SimpleDumpRow> simpleDumpRows() { return kSimpleDumps; }

std::span<const ProcessRow> processRows() { return kProcesses; }
std::span<const LibraryRow> libraryRows() { return kLibraries; }
std::span<const PluginRow> pluginRows() { return kPlugins; }

}  // namespace SampleBundle
