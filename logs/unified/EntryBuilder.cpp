#include "logs/unified/EntryBuilder.h"

#include "base/Platform.h"

namespace Unified {

namespace {

constexpr std::size_t kData = kChunkHeaderBytes;

QString utf8(std::string_view s) { return QString::fromUtf8(s.data(), qsizetype(s.size())); }

}  // namespace

void EntryBuilder::setProcess(const CatalogProcess* p, LogEntry& e)
{
    if (!p)
        return;
    e.processIdentifier = p->pid;
    e.process = m_resolver.imageName(p->mainImage);
}

bool EntryBuilder::buildLog(const ChunksetStream& chunkset, const Record& r, const OversizeStore& oversize, LogEntry& e)
{
    const Bytes b = chunkset.bytes();
    const std::optional<LogTracepoint> t = parseLogTracepoint(b, r.offset);
    if (!t)
        return false;
    const CatalogProcess* p = r.process == kNoProcess ? nullptr : &chunkset.catalog().processes[r.process];
    e.level = levelOfLogType(t->logType);
    e.threadIdentifier = t->thread;
    e.activityIdentifier = activityId(t->activity);
    setProcess(p, e);
    if (p && t->subsystem) {
        const auto names = p->subsystems.find(*t->subsystem);
        if (names != p->subsystems.end()) {
            e.subsystem = names->second.subsystem;
            e.category = names->second.category;
        }
    }

    // The arguments: in the oversize chunk the tracepoint refers to, or in
    // the tracepoint itself with its private data in the firehose chunk.
    Bytes items = t->items, privates;
    bool argumentsThere = true;
    if (t->oversizeReference) {
        const OversizeStore::Data* o = oversize.find(*b.le<quint64>(r.chunk + kData), *b.le<quint32>(r.chunk + kData + 8),
                                                     *t->oversizeReference);
        argumentsThere = o != nullptr;
        if (o) {
            items = Bytes(o->items.constData(), std::size_t(o->items.size()));
            privates = Bytes(o->privates.constData(), std::size_t(o->privates.size()));
        }
    } else if (t->privateRange) {
        const PrivateArea area = privateAreaOf(b, r.chunk);
        const auto [pageOffset, size] = *t->privateRange;
        if (pageOffset >= area.firstPageOffset)
            privates = b.sub(area.start + (pageOffset - area.firstPageOffset), size).value_or(Bytes());
    }
    m_arguments.clear();
    if (!argumentsThere) {
        qCWarning(lcLogFetcher, "Oversize data %u of pid %d not found", unsigned(*t->oversizeReference),
                  p ? p->pid : 0);
        ++m_skips.missingData;
    } else if (!readArguments(items, privates, m_arguments)) {
        return false;
    }

    const Resolution resolved = m_resolver.resolve(p, *t);
    const ResolvedFormat& f = *resolved.format;
    e.sender = resolved.sender.name;
    e.senderImagePath = resolved.sender.path;
    e.messageTemplate = f.messageTemplate;
    e.message = f.messageTemplate->found ? utf8(composeMessage(f.utf8, m_arguments)) : f.missing;
    if (f.noStringsFile)
        ++m_skips.withoutStrings;
    return true;
}

bool EntryBuilder::buildSimpleDump(const ChunksetStream& chunkset, const Record& r, LogEntry& e)
{
    const std::optional<Bytes> chunk = chunkset.bytes().sub(r.offset, kData + *chunkset.bytes().le<quint64>(r.offset + 8));
    if (!chunk)
        return false;
    Cursor c(*chunk, kData + 13);
    e.level = levelOfLogType(c.u8());
    c.skip(2 + 8);  // reserved, time
    e.threadIdentifier = c.u64();
    c.skip(8);  // load address
    const QUuid sender = c.uuid();
    c.skip(16 + 4);  // shared cache, unknown
    const quint32 subsystemSize = c.u32();
    const quint32 messageSize = c.u32();
    const Bytes subsystem = c.take(subsystemSize);
    const Bytes message = c.take(messageSize);
    if (!c.ok())
        return false;
    setProcess(r.process == kNoProcess ? nullptr : &chunkset.catalog().processes[r.process], e);
    e.subsystem = utf8(subsystem.cstring(0));
    e.message = utf8(message.cstring(0));
    e.sender = m_resolver.imageName(sender);
    e.senderImagePath = m_resolver.imagePath(sender);
    return true;
}

void EntryBuilder::build(const ChunksetStream& chunkset, const OversizeStore& oversize, RawEntry& out)
{
    const Record& r = chunkset.current();
    out.kind = RawEntryKind::other;
    if (r.kind == RecordKind::other)
        return;
    LogEntry& e = out.entry;
    e = LogEntry{};
    e.date = r.date;
    const bool built = r.kind == RecordKind::log ? buildLog(chunkset, r, oversize, e) : buildSimpleDump(chunkset, r, e);
    if (!built) {
        qCWarning(lcLogFetcher, "Skipped a damaged %s record", r.kind == RecordKind::log ? "log" : "simpledump");
        ++m_skips.records;
        return;
    }
    out.kind = RawEntryKind::logMessage;
}

}  // namespace Unified
