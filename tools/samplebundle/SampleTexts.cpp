// The texts of sample messages: services, bundles, paths, hosts, errors and
// the other words a Mac's logs are full of, each list a named value.

#include "tools/samplebundle/SampleValues.h"

namespace SampleBundle {

void Values::addTexts()
{
    const auto texts = [&](const char* name, std::initializer_list<const char*> values, Gen gen = Gen::text) {
        Source s{name, gen, 0, 0, {}, {}};
        for (const char* v : values)
            s.texts.push_back(QByteArray(v) + '\0');
        m_sources.push_back(std::move(s));
    };

    texts("errnull", {"Error Domain=CKErrorDomain Code=3 \"Network Unavailable\" UserInfo={NSLocalizedDescription=Network Unavailable}", "Error Domain=CKErrorDomain Code=7 \"Request Rate Limited\" UserInfo={CKRetryAfter=30}"}, Gen::textOrNull);
    texts("err", {"Error Domain=NSURLErrorDomain Code=-1009 \"The Internet connection appears to be offline.\" UserInfo={_kCFStreamErrorCodeKey=50, _kCFStreamErrorDomainKey=1}",
                  "Error Domain=NSCocoaErrorDomain Code=4099 \"The connection to service named com.apple.tccd was invalidated from this process.\" UserInfo={NSDebugDescription=The connection to service named com.apple.tccd was invalidated from this process.}",
                  "Error Domain=NSPOSIXErrorDomain Code=60 \"Operation timed out\"",
                  "Error Domain=CKErrorDomain Code=3 \"Network Unavailable\"",
                  "Error Domain=NSOSStatusErrorDomain Code=-25300 \"errSecItemNotFound: The specified item could not be found in the keychain.\"",
                  "Error Domain=kCFErrorDomainCFNetwork Code=-1005 \"The network connection was lost.\"",
                  "Error Domain=BRCloudDocsErrorDomain Code=13 \"Unreachable\""});
    texts("obj", {"<OS_xpc_dictionary: <dictionary: 0x600000c8d2c0> { count = 2, transaction: 0, voucher = 0x0, contents =\n\t\"subsystem\" => <uint64: 0x8f4e1a2b>: 5\n\t\"routine\" => <uint64: 0xb1c3d8e0>: 802\n}>",
                  "{length = 32, bytes = 0x4f1a9c22 7d3e0b88 ... 19e2c3a1 }",
                  "<CKRecordZoneID: 0x600001d8a1c0; zoneName=com.apple.notes, ownerName=__defaultOwner__>",
                  "<RBSEndowmentGrant| namespace:com.apple.frontboard.visibility endowment:{pid:412}>",
                  "(\n    \"com.apple.launchservices.lsd\",\n    \"com.apple.coreservices.uiagent\"\n)"});
    texts("conn", {"<NSXPCConnection: 0x600003c1c000> connection to service named com.apple.tccd",
                   "<NSXPCConnection: 0x6000039e4b40> connection from pid 1184 on mach service named com.apple.runningboard",
                   "<NSXPCConnection: 0x600003a0d900> connection to service with pid 412 named com.apple.CoreAuthentication.daemon"});
    texts("svc", {"com.apple.tccd", "com.apple.runningboard", "com.apple.lsd.mapdb", "com.apple.cfprefsd.daemon",
                  "com.apple.distributed_notifications@Uv3", "com.apple.coreservices.launchservicesd", "com.apple.windowserver.active",
                  "com.apple.SystemConfiguration.configd", "com.apple.mDNSResponder", "com.apple.nsurlsessiond", "com.apple.trustd.agent",
                  "com.apple.CoreAuthentication.daemon", "com.apple.iconservices", "com.apple.audio.coreaudiod",
                  "com.apple.locationd.registration", "com.apple.usernoted.client", "com.apple.bird", "com.apple.analyticsd"});
    texts("bundle", {"com.apple.Safari", "com.apple.mail", "com.apple.Music", "com.apple.dt.Xcode", "com.tinyspeck.slackmacgap",
                     "com.google.Chrome", "com.apple.finder", "com.apple.Terminal", "com.apple.systempreferences", "com.apple.Notes",
                     "com.apple.iCal", "com.apple.MobileSMS", "us.zoom.xos", "com.apple.Photos", "com.microsoft.VSCode", "com.apple.Preview"});
    texts("path", {"/System/Library/CoreServices/Finder.app", "/Applications/Safari.app", "/usr/libexec/xpcproxy",
                   "/Applications/Xcode.app/Contents/Developer/usr/bin/xcodebuild",
                   "/System/Library/Frameworks/WebKit.framework/Versions/A/XPCServices/com.apple.WebKit.WebContent.xpc",
                   "/Applications/Slack.app/Contents/Frameworks/Slack Helper (Renderer).app", "/opt/homebrew/bin/python3.12",
                   "/Library/Apple/System/Library/CoreServices/XProtect.app", "/usr/local/bin/node",
                   "/Users/alex/Library/Group Containers/group.com.apple.notes/NoteStore.sqlite"});
    texts("upath", {"/Users/alex/Library/Containers/com.apple.mail/Data/Library/Mail Downloads", "/Users/alex/Documents/Quarterly Report.numbers",
                    "/Users/alex/Library/Application Support/Slack/Cache/Cache_Data", "/Users/alex/Desktop/Screenshot 2024-05-02 at 09.41.12.png",
                    "/Users/alex/Developer/vellacord/build/compile_commands.json", "/Users/alex/Library/Mobile Documents/com~apple~CloudDocs/Taxes 2023.pdf",
                    "/private/var/folders/8x/4k2m1_9j0qs1x8v2b3c4d5e60000gn/T/TemporaryItems"});
    texts("upathpub", {"/Users/alex/Library/Preferences/com.apple.finder.plist", "/Library/Preferences/.GlobalPreferences.plist",
                       "/Users/alex/Library/Preferences/ByHost/com.apple.controlcenter.9C2B1E0A.plist"});
    texts("host", {"www.apple.com", "gateway.icloud.com", "api.github.com", "edgeapi.slack.com", "clients4.google.com", "mesu.apple.com",
                   "ocsp.apple.com", "time.apple.com", "p49-caldav.icloud.com", "imap.mail.me.com", "outlook.office365.com", "registry.npmjs.org"});
    texts("url", {"https://www.apple.com/", "https://github.com/apple/swift/pulls", "https://app.slack.com/client/T024BE7LD/C01A2B3C4D",
                  "https://news.ycombinator.com/item?id=40211234", "https://developer.apple.com/documentation/os/logging",
                  "file:///Users/alex/Documents/Quarterly%20Report.numbers"});
    texts("ifname", {"en0", "en0", "en0", "en1", "awdl0", "llw0", "utun3", "utun4", "bridge100"});
    texts("ssid", {"HomeNet-5G", "Office Guest", "Café Central", "Pixel_3921", "eduroam"});
    texts("devname", {"Alex’s AirPods Pro", "Magic Keyboard", "MX Master 3S", "Alex’s iPhone", "Apple Watch", "Living Room"});
    texts("btdev", {"Alex’s AirPods Pro", "Magic Keyboard", "MX Master 3S", "Bose QC45"});
    texts("btaddr", {"4C:87:5D:1A:22:9F", "F0:B3:EC:0A:44:10", "88:66:5A:3F:9C:01", "D4:90:9C:E2:7A:31"});
    texts("key", {"AppleInterfaceStyle", "AppleLanguages", "NSAutomaticSpellingCorrectionEnabled", "KeyRepeat", "AppleShowScrollBars",
                  "com.apple.swipescrolldirection"});
    texts("domain", {"com.apple.Safari", "kCFPreferencesAnyApplication", "com.apple.finder", "com.apple.dock", "com.apple.WindowManager",
                     "com.apple.controlcenter", "com.apple.HIToolbox"});
    texts("reason", {"ipc (mach)", "launch job demand", "xpc event", "semaphore", "(launchd) keepalive"});
    texts("role", {"UserInteractive", "UserInteractiveFocal", "UserInteractiveNonFocal", "Background", "NonUserInteractive", "None"});
    texts("rbtarget", {"app<application.com.apple.Safari.3524172.3524178(501)>", "daemon<com.apple.tccd(0)>",
                       "xpcservice<com.apple.WebKit.WebContent([app<application.com.apple.Safari.3524172.3524178(501)>:1184])(501)>",
                       "app<application.com.tinyspeck.slackmacgap.3540121.3540127(501)>", "anon<Xcode(501)>",
                       "app<application.com.apple.mail.3524201.3524207(501)>", "daemon<com.apple.cloudd(501)>"});
    texts("rbassert", {"188-394-26715", "188-1184-26722", "412-188-26730", "188-92-26741"});
    texts("rbstate", {"running-active-NotVisible", "running-active-Visible", "running-suspended-NotVisible", "running-passive-NotVisible"});
    texts("rbreason", {"endowment", "user interaction", "memory pressure", "idle exit"});
    texts("idleproc", {"mdworker_shared", "com.apple.WebKit.WebContent", "Slack Helper (Renderer)", "photoanalysisd", "siriactionsd",
                       "com.apple.quicklook.ThumbnailsAgent", "CloudKeychainProxy"});
    texts("user", {"alex", "admin", "_spotlight", "root"});
    texts("email", {"alex@icloud.com", "alex.morgan@example.com", "team@example.org"});
    texts("display", {"Built-in Retina Display", "LG UltraFine", "DELL U2723QE", "Sidecar Display"});
    texts("vol", {"Macintosh HD", "Macintosh HD - Data", "Backup", "Samsung T7"});
    texts("disk", {"disk3s1s1", "disk3s5", "disk3s2", "disk4s2", "disk1s1"});
    texts("snap", {"com.apple.TimeMachine.2024-05-02-094112.local", "com.apple.os.update-6C2A1F0E9B"});
    texts("kext", {"com.apple.driver.AppleSMC", "com.apple.iokit.IOSkywalkFamily", "com.apple.filesystems.apfs", "com.apple.kext.triggers"});
    texts("ent", {"com.apple.private.tcc.allow", "com.apple.security.device.camera", "com.apple.developer.icloud-services"});
    texts("team", {"7JQ4H3ZR2K", "Q2B6A9NXR5", "Software Signing"});
    texts("ver", {"17.4.1 (19618.1.15.11.14)", "124.0.6367.119", "4.38.121", "15.3 (15E204a)", "23.4.0"});
    texts("topic", {"com.apple.icloud-container.com.apple.cloudkit", "com.apple.private.alloy.continuity.activity", "com.apple.mobileme.fmf1",
                    "com.tinyspeck.slackmacgap", "com.apple.madrid"});
    texts("zone", {"com.apple.notes", "com.apple.reminders", "com.apple.photos.cloud", "_defaultZone", "com.apple.Safari.SafariTabs"});
    texts("container", {"com.apple.notes", "com.apple.reminders", "iCloud.com.apple.iBooks", "com.apple.safari.tabs", "com.apple.cloudphotod"});
    texts("op", {"CKFetchRecordZoneChangesOperation", "CKModifyRecordsOperation", "CKFetchDatabaseChangesOperation", "CKQueryOperation"});
    texts("task", {"com.apple.mobileassetd.auto-asset-query", "com.apple.cloudkit.sync", "com.apple.photoanalysisd.backgroundanalysis",
                   "com.apple.spotlight.indexing.maintenance", "com.apple.softwareupdate.scan", "com.apple.bird.periodic-sync"});
    texts("route", {"BuiltInSpeakerDevice", "BuiltInMicrophoneDevice", "Alex’s AirPods Pro", "LG UltraFine Display Audio", "ZoomAudioDevice"});
    texts("sbop", {"file-read-data", "file-write-create", "mach-lookup", "network-outbound", "file-read-metadata", "iokit-open", "sysctl-read"});
    texts("linkstate", {"up", "up", "down", "roaming"});
    texts("adstate", {"Everyone for 10 Minutes", "Contacts Only", "Receiving Off"});
    texts("proto", {"UDP", "TCP"});
    texts("tlsver", {"TLS 1.3", "TLS 1.2"});
    texts("nwstate", {"preparing", "ready", "ready", "cancelled", "waiting", "failed"});
    texts("nwpath", {"satisfied (Path is satisfied), interface: en0[802.11], ipv4, ipv6, dns, uses wifi",
                     "unsatisfied (No network route)", "satisfied (Path is satisfied), interface: utun4, ipv4, dns, expensive"});
    texts("nwerrtext", {"Socket is not connected", "Connection reset by peer", "Operation timed out", "No route to host",
                        "The operation couldn’t be completed. (kNWErrorDomainPOSIX error 89 - Operation canceled)"});
    texts("nwflow", {"failed", "waiting", "in_progress"});
    texts("attribution", {"developer", "user"});
    texts("mpservice", {"handover", "none"});
    texts("tlsstate", {"TLS client read_server_hello", "TLS client read_encrypted_extensions", "TLS client read_server_certificate",
                       "TLS client read_server_finished", "TLS client done"});
    texts("wkreason", {"Crash", "IdleExit", "ExceededMemoryLimit", "ExceededCPULimit", "RequestedByClient"});
    texts("wknetop", {"prepareToSuspend", "processDidResume", "clearDiskCache", "setCacheModel"});
    texts("mpstatus", {"normal", "normal", "warning", "critical"});
    texts("mediaop", {"play", "pause", "setReadyState", "mediaPlayerRateChanged"});
    texts("mediastate", {"HAVE_ENOUGH_DATA", "HAVE_METADATA", "rate 1", "paused"});
    texts("navtype", {"link", "reload", "back-forward", "typed"});
    texts("sbresult", {"safe", "safe", "safe", "unknown"});
    texts("safariext", {"com.1password.safari", "com.adguard.safari.AdGuard", "com.apple.Safari.PasswordsExtension"});
    texts("tabstate", {"active", "background", "suspended"});
    texts("vis", {"visible", "hidden"});
    texts("mailbox", {"INBOX", "Sent Messages", "Archive", "Junk"});
    texts("mailstate", {"complete", "deferred", "throttled"});
    texts("pbstate", {"playing", "paused", "stopped", "buffering"});
    texts("scheme", {"Vellacord", "VellacordTests", "vellacord-cli"});
    texts("devstate", {"connected", "paired", "unavailable", "preparing"});
    texts("model", {"iPhone15,2", "Mac14,2", "Watch6,2", "iPad13,8", "AudioAccessory5,1"});
    texts("apsenv", {"production", "sandbox"});
    texts("courier", {"1-courier.push.apple.com", "22-courier.push.apple.com", "47-courier.push.apple.com"});
    texts("tccfunc", {"TCCAccessRequest", "TCCAccessPreflight", "TCCAccessCheckAuditToken", "TCCAccessRequestIndirect"});
    texts("tccsvc", {"kTCCServiceCamera", "kTCCServiceMicrophone", "kTCCServiceScreenCapture", "kTCCServiceAccessibility",
                     "kTCCServiceSystemPolicyDocumentsFolder", "kTCCServiceListenEvent", "kTCCServiceAppleEvents"});
    texts("yesno", {"yes", "no"});
    texts("tccstate", {"Allowed", "Denied", "Unknown", "Limited"});
    texts("certcheck", {"SSLHostname", "ValidLeaf", "IssuerCommonName", "AnchorTrusted", "CheckLeafMarkerOid", "Revocation"});
    texts("certleaf", {"leaf", "path", "anchor"});
    texts("ocspstatus", {"good", "good", "revoked", "unknown"});
    texts("trusterr", {"leaf AnchorTrusted", "leaf SSLHostname", "path Revocation"});
    texts("trustres", {"trusted", "recoverable failure", "fatal failure"});
    texts("secerrtext", {"errSecItemNotFound", "errSecDuplicateItem", "errSecInteractionNotAllowed", "errSecAuthFailed"});
    texts("keychain", {"login.keychain-db", "System.keychain", "iCloud"});
    texts("odmod", {"PlistFile", "AppleODClient", "Kerberosv5", "NetLogon"});
    texts("oderrtext", {"eODErrorRecordNotFound", "eODErrorCredentialsInvalid", "eODErrorNodeUnknown"});
    texts("odq", {"ODQueryCreateWithNode", "ODRecordCopyValues"});
    texts("odtype", {"dsRecTypeStandard:Users", "dsRecTypeStandard:Groups", "dsRecTypeStandard:Computers"});
    texts("odattr", {"dsAttrTypeStandard:RecordName", "dsAttrTypeStandard:UniqueID", "dsAttrTypeStandard:GroupMembership"});
    texts("aqstate", {"Start", "Stop", "Pause", "Prime"});
    texts("mdbatch", {"metadata", "content", "contact"});
    texts("mdimporter", {"com.apple.mdimporter.PDF", "com.apple.mdimporter.RichText", "com.apple.mdimporter.image", "com.apple.mdimporter.Mail"});
    texts("mime", {"com.adobe.pdf", "public.png", "public.plain-text", "com.apple.mail.emlx", "public.mpeg-4-audio"});
    texts("syncphase", {"sync-down", "sync-up", "apply", "reset"});
    texts("bkkind", {"automatic", "manual", "automatic (local snapshot)"});
    texts("bkerr", {"The backup disk could not be found.", "Destination disk is full.", "The backup was cancelled."});
    texts("xpcevt", {"com.apple.notifyd.matching", "com.apple.iokit.matching", "com.apple.distnoted.matching", "com.apple.alarm"});
    texts("xpcplugin", {"com.apple.TimeMachine.UserEventAgent", "com.apple.cts", "com.apple.bluetooth.UserEventAgent", "com.apple.usernotificationcenter"});
    texts("xpcstate", {"Wait", "Run", "Done", "Defer"});
    texts("xpcprio", {"Maintenance", "Utility"});
    texts("dispatchbug", {"BUG IN CLIENT OF LIBDISPATCH: Unbalanced call to dispatch_group_leave()",
                          "BUG IN CLIENT OF LIBDISPATCH: Release of a suspended object",
                          "BUG IN CLIENT OF LIBDISPATCH: dispatch_sync called on queue already owned by current thread"});
    texts("malloczone", {"DefaultMallocZone", "WebKit Malloc", "QuartzCore"});
    texts("bsdnote", {"com.apple.system.loginwindow.desktopUp", "com.apple.screenIsUnlocked", "com.apple.screenIsLocked"});
    texts("lwstate", {"locked", "unlocked", "screensaver"});
    texts("menuextra", {"com.apple.menuextra.battery", "com.apple.menuextra.wifi", "com.apple.menuextra.clock", "com.apple.menuextra.textinput"});
    texts("ccmodule", {"WiFi", "Bluetooth", "AirDrop", "FocusModes", "NowPlaying", "Display", "Sound"});
    texts("assertact", {"Created", "Released", "ClientDied", "TimedOut"});
    texts("assertname", {"com.apple.audio.context280.preventuseridlesleep", "Playing audio", "Video Wake Lock", "Sharing Daemon needs to run",
                         "com.apple.backupd-auto", "Powerd - Prevent sleep while display is on"});
    texts("assertsys", {"PrevIdle DeclUser kDisp", "PrevIdle PrevDisp DeclUser IPushSrvc kCPU kDisp", "DeclUser kDisp", "BGTask kCPU"});
    texts("wakephase", {"Wake", "DarkWake", "Sleep", "Maintenance Sleep"});
    texts("wakereason", {"EC.LidOpen (User)", "NUB.SPMI0Sw3IRQ nub-spmi0.0x02 rtc (Maintenance)", "smc.70070000 wifibt SMC.OutboxNotEmpty (Maintenance)",
                         "Clamshell Sleep", "Idle Sleep"});
    texts("charge", {"AC attached; charging", "discharging", "AC attached; not charging", "charged"});
    texts("bttype", {"Classic", "LE", "Dual"});
    texts("startstop", {"started", "stopped"});
    texts("hcierr", {"Connection Timeout", "Remote User Terminated Connection", "LMP Response Timeout", "Connection Failed to be Established"});
    texts("hcievt", {"LE Meta Event", "Number Of Completed Packets", "Command Complete", "Disconnection Complete"});
    texts("assocerr", {"Authentication timeout", "Association rejected", "Invalid password"});
    texts("ndfstate", {"good", "poor", "suspect", "degraded"});
    texts("locreason", {"WhenInUse", "Always", "Denied", "NotDetermined"});
    texts("locstate", {"inUse", "notInUse", "background"});
    texts("thermlevel", {"Nominal", "Nominal", "Moderate", "Heavy"});
    texts("notename", {"com.apple.screensaver.didstart", "AppleInterfaceThemeChangedNotification", "com.apple.HIToolbox.beginMenuTrackingNotification",
                       "com.apple.Music.playerInfo"});
    texts("prefuser", {"kCFPreferencesCurrentUser", "kCFPreferencesAnyUser"});
    texts("prefop", {"loaded", "written", "cached"});
    texts("notifcat", {"MESSAGE", "REMINDER", "calendar", "SLACK_MESSAGE"});
    texts("authstate", {"granted", "denied", "provisional"});
    texts("query", {"vellacord", "invoice 2024", "docker", "AirPods"});
    texts("timecmd", {"fetchTime", "setTime", "ntpUpdate"});
    texts("timesrc", {"NTP", "Location", "Cell"});
    texts("nehelper", {"NEHelper", "NEConfigurationManager"});
    texts("bioresult", {"match", "match", "no match", "cancelled"});
    texts("onoff", {"on", "off"});
    texts("idsservice", {"com.apple.madrid", "com.apple.private.alloy.facetime.multi", "com.apple.private.alloy.continuity.activity"});
    texts("idsstate", {"Registered", "Registering", "Unregistered", "Authenticating"});
    texts("wintitle", {"Inbox – iCloud", "vellacord — zsh — 120×40", "Apple (United States)", "Xcode: Vellacord", "#general – Acme – Slack"});
    texts("evtype", {"LMouseDown", "KeyDown", "ScrollWheel", "Gesture", "FlagsChanged"});
    texts("keys", {"a", "é", "⌘", "7"});
    texts("pbname", {"Apple CFPasteboard general", "Apple CFPasteboard find"});
    texts("uti", {"public.utf8-plain-text", "public.tiff", "com.apple.webarchive", "public.file-url"});
    texts("lserr", {"kLSApplicationNotFoundErr", "kLSNoExecutableErr", "kLSUnknownErr"});
    texts("lsrole", {"Viewer", "Editor", "All", "Shell"});
    texts("restype", {"plist", "car", "nib", "strings"});
    texts("lproj", {"en.lproj", "Base.lproj", "de.lproj"});
    texts("iosvc", {"AppleSMC", "IOHIDSystem", "IOSurfaceRoot", "AGXAcceleratorG14X"});
    texts("gpu", {"Apple M2"});
    texts("shaderfn", {"fragmentShader_blur", "vertex_main", "compute_histogram"});
    texts("shadererr", {"program_source:12:5: error: use of undeclared identifier 'texCoord'", "Compiler encountered an internal error"});
    texts("sqliteerr", {"database is locked", "disk I/O error", "no such table: ZMESSAGE"});
    texts("cbstate", {"PoweredOn", "PoweredOff", "Unauthorized"});
    texts("contentkind", {"application/json", "text/html", "image/webp", "application/octet-stream"});
    texts("nstaskstate", {"resumed", "suspended", "completed", "waiting for connectivity"});
    texts("nserrtext", {"The request timed out.", "The Internet connection appears to be offline.", "The network connection was lost.",
                        "cancelled", "An SSL error has occurred and a secure connection to the server cannot be made."});
    texts("gkresult", {"allowed", "allowed (notarized)", "denied (notarization ticket not found)"});
    texts("suproducts", {"macOS Sonoma 14.4.1", "Safari 17.4.1", "XProtectPlistConfigData 5.0.13"});
    texts("ncstate", {"delayed", "posted"});
    texts("sckey", {"State:/Network/Global/IPv4", "State:/Network/Interface/en0/Link", "State:/Network/Global/DNS", "State:/Users/ConsoleUser"});
    texts("leasestate", {"bound", "renewed", "rebinding"});
    texts("launchkey", {"Program", "MachServices", "KeepAlive", "RunAtLoad", "ProcessType"});
    texts("launchval", {"/usr/libexec/tccd", "(dictionary)", "true", "Adaptive"});
    texts("usbdev", {"USB3.1 Hub", "Magic Keyboard", "USB-C Digital AV Multiport Adapter", "Samsung T7"});
    texts("accounttype", {"com.apple.account.AppleAccount", "com.apple.account.IMAP", "com.apple.account.Google"});
    texts("mcsetting", {"allowScreenShot", "forceEncryptedBackup", "allowCloudDocumentSync"});
    texts("duetpolicy", {"Battery Policy", "CPU Usage Policy", "Thermal Policy", "Networking Policy"});
    texts("duetfactor", {"name: batteryLevel, value: 74, score: 1", "name: isPluggedIn, value: 0, score: 0.5", "name: cpuUsage, value: 12, score: 1"});
    texts("chromets", {"0502/094112.331", "0502/101508.774", "0502/142233.019"});
    texts("chromelvl", {"INFO", "WARNING", "VERBOSE1"});
    texts("chromesrc", {"gpu_process_host.cc", "network_service_instance_impl.cc", "render_frame_host_impl.cc", "electron_api_app.cc",
                        "component_updater_service.cc"});
    texts("chromemsg", {"GPU process exited unexpectedly: exit_code=15", "Network service crashed, restarting service.",
                        "Component update check complete: 0 updates", "Renderer process ready", "WebRTC audio device initialized"});
    texts("nslog", {"Renderer ready in 812ms", "[NSWindow] Warning: Window move completed without beginning",
                    "WARNING: Secure coding is not enabled for restorable state! Enable secure coding by implementing NSApplicationDelegate.applicationSupportsSecureRestorableState: and returning YES.",
                    "CoreText note: Client requested name \".SFNS-Regular\", created font \"TimesNewRomanPSMT\"",
                    "Task policy set to background"});
    texts("syslog", {"accepted connection from pid 4521", "listening on 127.0.0.1:3000", "sandbox initialized",
                     "keep-alive ok", "helper tool version 1.2.4 started"});
}

}  // namespace SampleBundle
