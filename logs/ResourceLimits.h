#pragma once

// A fleet folder holds a journal file or more per host, each kept open while
// it is read: the common soft limit of 1,024 open files is reached by a few
// hundred hosts. Raising the soft limit to the hard one costs nothing.
namespace ResourceLimits {

// Raises the soft limit of open files to the hard limit; returns the soft
// limit in force afterwards.
long raiseOpenFileLimit();

// The soft limit of open files; -1 when there is none.
long openFileLimit();

// How many more files this process may open now (the soft limit less those
// open), or -1 when it cannot tell.
long openFilesLeft();

}  // namespace ResourceLimits
