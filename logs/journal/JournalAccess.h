#pragma once

#include <QString>

// What the current user may see of this machine's systemd journal: why a live
// view can be empty, and what would mend it on this system.
struct JournalAccess {
    enum class Limit {
        none,        // the whole journal is readable (root, or a reader group)
        noJournal,   // the machine keeps no journal at all
        notInGroup,  // only the user's own entries are readable
    };
    Limit limit = Limit::none;
    QString user;  // the login name, for the command offered

    // Of this process: no journal folder with journal files under /run/log or
    // /var/log; else root or a member of systemd-journal, adm or wheel (the
    // groups systemd lets read the journal) reads everything.
    static JournalAccess ofThisProcess();

    // The command that lets the user read the whole journal.
    QString groupCommand() const;

    bool operator==(const JournalAccess&) const = default;
};
