// The batch of a volume (FatVolume's part of it): many changes held and written as one, each
// kind of block once and in the order that keeps a kill harmless, with a barrier between the
// kinds so that a power cut or a dying qemu-nbd keeps that order too; and the clusters taken since
// the last flush, by which a batch knows whether it needs them.
#include "fat/fat_volume.h"

#include <algorithm>

namespace stowix::fat {

void FatVolume::BeginBatch() {
    // The data a batch holds grows to HeldDataBytes and at most a quarter more before it goes
    // out (WriteData).
    if (m_batchDepth++ == 0) m_heldData.Reserve(size_t(HeldDataBytes + HeldDataBytes / 4));
}

Status FatVolume::EndBatch() {
    if (m_batchDepth == 0 || --m_batchDepth > 0) return Status::Ok();
    ++m_batchDepth;  // CommitBatch writes as a batch does
    Status committed = CommitBatch();
    m_batchDepth = 0;
    m_batchSpoilt = false;
    return committed;
}

Result<bool> FatVolume::CommitWhenLarge() {
    if (!Batching() || m_batchSpoilt) return false;
    if (m_heldData.Bytes() + m_heldFolders.Bytes() < LargeBatchBytes &&
        m_dirtyBlocks < LargeBatchBlocks && m_heldFrees.size() < LargeBatchFrees)
        return false;
    TRY(CommitBatch());
    return true;
}

Status FatVolume::CommitBatch() {
    if (m_batchSpoilt) {
        AbandonBatch();
        return Status::Fail(m_name + QStringLiteral(": the changes could not be completed"));
    }
    const auto write = [this](qint64 at, const void* bytes, qint64 count) {
        return Write(at, bytes, count);
    };
    const bool frees = !m_heldFrees.empty();
    bool durableFrees = false;
    for (size_t i = 0; !durableFrees && i < m_heldFrees.size(); ++i)
        durableFrees = !TakenSinceFlush(m_heldFrees[i]);
    const bool dataHeld = m_batchHasData;
    m_batchHasData = false;
    const bool tableHeld = m_dirtyBlocks > 0 || frees;
    const bool foldersHeld = m_heldFolders.Bytes() > 0;
    Status done = ReserveMetadata();
    if (done) done = m_heldData.WriteOut(write);
    // Each kind of block is on the disk before the next one names it: a power cut, or a
    // qemu-nbd that dies with its caches, could otherwise keep a later write and lose an earlier
    // one (see the header).
    if (done && dataHeld && (tableHeld || foldersHeld)) done = Barrier();
    if (done && tableHeld) done = InvalidateFreeCount();
    if (done) done = WriteTable();
    if (done && (durableFrees || (tableHeld && foldersHeld))) done = Barrier();
    if (done) done = m_heldFolders.WriteOut(write);
    if (done && frees) {
        // A freed cluster must not be free on the disk while the old entry may still name it.
        if (durableFrees || foldersHeld) done = Barrier();
        const std::vector<uint32_t> freed = std::move(m_heldFrees);
        m_heldFrees.clear();
        for (size_t i = 0; done && i < freed.size(); ++i) done = SetEntryNow(freed[i], 0);
        if (done) done = WriteTable();
    }
    if (!done) {
        AbandonBatch();
        return done;
    }
    return Status::Ok();
}

void FatVolume::AbandonBatch() {
    ++m_writes;  // what readers saw of the held bytes is gone
    m_heldData.Clear();
    m_heldFolders.Clear();
    m_heldFrees.clear();
    m_batchHasData = false;
    const int depth = m_batchDepth;
    m_batchDepth = 0;
    DiscardTable();
    m_batchDepth = depth;
    m_batchSpoilt = false;
}

Status FatVolume::Flush() {
    if (Batching()) {
        TRY(CommitBatch());
    }
    TRY(WriteFreeCount());
    TRY(m_device->Flush());
    m_takenRuns.clear();
    m_takenOverflow = false;
    return Status::Ok();
}

void FatVolume::NoteTaken(uint32_t cluster) {
    if (m_takenOverflow) return;
    auto next = m_takenRuns.upper_bound(cluster);
    if (next != m_takenRuns.begin()) {
        auto before = std::prev(next);
        if (before->second > cluster) return;
        if (before->second == cluster) {
            before->second = cluster + 1;
            if (next != m_takenRuns.end() && next->first == cluster + 1) {
                before->second = next->second;
                m_takenRuns.erase(next);
            }
            return;
        }
    }
    if (next != m_takenRuns.end() && next->first == cluster + 1) {
        const uint32_t end = next->second;
        m_takenRuns.erase(next);
        m_takenRuns.emplace(cluster, end);
        return;
    }
    if (m_takenRuns.size() >= MaxTakenRuns) {
        m_takenRuns.clear();
        m_takenOverflow = true;
        return;
    }
    m_takenRuns.emplace(cluster, cluster + 1);
}

bool FatVolume::TakenSinceFlush(uint32_t cluster) const {
    if (m_takenOverflow) return false;
    auto next = m_takenRuns.upper_bound(cluster);
    return next != m_takenRuns.begin() && std::prev(next)->second > cluster;
}

}  // namespace stowix::fat
