#pragma once

// A sample bundle as the archive writer takes it: the world's strings files,
// one boot's processes and clock per boot, and tracev3 files whose entries
// are made one at a time while the writer asks for them.

#include "tools/archivewriter/ArchiveWriter.h"
#include "tools/samplebundle/SamplePlan.h"

namespace SampleBundle {

struct Summary {
    int boots = 0;
    int files = 0;
    double start = 0, end = 0;
};

// `world` must outlive the bundle's files.
ArchiveWriter::Bundle makeBundle(const World& world, const Options& options, Summary* summary);

}  // namespace SampleBundle
