#pragma once
// One FAT12, FAT16 or FAT32 file system inside an image file: its boot sector's parameters, the
// file allocation table, and the bytes of its clusters. Memory stays bounded whatever the size
// of the volume: the table is read through a cache of 4 KiB blocks (at most 1 MiB of unchanged
// ones, beside those changed and not yet written), and a batch holds at most a few MiB.
//
// Writing follows one order so that a kill at any moment leaves at worst lost clusters:
// callers write data into clusters that no entry references yet, then change the table with
// SetEntry and CommitTable (which writes the first copy of the table, then every other copy),
// and only then the directory entry that makes the clusters part of a file. Freed clusters are
// committed after the entry that let go of them.
//
// A batch (BeginBatch .. EndBatch) keeps that order for many changes at once and writes each
// kind of block once: the data of every new chain (adjacent clusters in one write), then the
// changed blocks of the first table copy, then of the others, then every changed directory
// slot, then the clusters freed by the batch's entries, in the table's copies again. Data and
// slots are held in memory until then (reads see them); CommitTable does nothing inside a batch,
// and SetEntry(cluster, 0) is put off to the end. A failure inside a batch (DiscardTable) spoils
// it: EndBatch then writes nothing more of it and fails.
//
// Why this order holds, and what makes it durable: a kill of the process ends it between two
// writes, and every write it made is in the host's page cache, which the host writes out
// whatever becomes of the process. A power cut is different: the host may have written the
// pages of the image in any order; and a container's writes pass through qemu-nbd, whose own
// caches (a qcow2's cluster tables, for one) are lost if qemu-nbd dies, so a later write may
// survive an earlier one. So a batch puts a barrier (fdatasync on a raw image, an NBD flush on a
// container) after its data when the table or slots follow, after the table when slots follow
// (or when it frees clusters that were durable), and after the slots before it frees the old
// clusters: each kind of block is on the disk before anything names it. A power cut or a dying
// qemu-nbd then leaves at worst lost clusters, as a kill does. Flush (before a backup or restore
// is recorded) makes all of it durable.

// FAT32's free-cluster count and next-free hint in FSInfo are marked unknown before the first
// change, as the format allows, so that they can never be wrong after a kill; Flush and Finish
// write the right values (counted while the table copies are compared, then kept as the table
// changes) once everything else is written.
//
// It refuses to write to a volume whose dirty flag is set, whose table copies disagree, or whose
// table mirroring is switched off: such a volume needs fsck.fat first. Damage met at any time (a
// chain that loops or leaves the volume, a walk of the folders that finds clusters shared or
// marked free) ends writing for good: from then on nothing more is written, held changes
// included, and every change fails with the damage named and the advice to check the volume.
//
// The clusters that entries use (as the walk of the folders found them, volume_survey.h) are
// kept in a bitmap of one bit a cluster; FindFree never gives one of them, whatever the table
// says.

#include "services/result.h"

#include "disk/block_device.h"
#include "fat/held_writes.h"
#include "fat/unclean_note.h"

#include <QString>

#include <cstdint>
#include <list>
#include <map>
#include <set>
#include <unordered_map>
#include <vector>

namespace stowix::fat {

enum class FatType { Fat12, Fat16, Fat32 };

class FatVolume {
public:
    // device: the disk, open for reading (and writing, when writable); it must outlive the
    // volume. The volume lies at offset, length bytes long. name: the image as messages name it.
    static Result<FatVolume> Open(BlockDevice& device, bool writable, qint64 offset, qint64 length,
                                  QString name);

    FatType Type() const { return m_type; }
    uint32_t ClusterBytes() const { return m_clusterBytes; }
    // The highest valid cluster number; clusters are numbered from 2.
    uint32_t LastCluster() const { return m_clusterCount + 1; }
    bool IsValidCluster(uint32_t cluster) const { return cluster >= 2 && cluster <= LastCluster(); }
    // FAT32's root folder's first cluster; 0 on FAT12 and FAT16, whose root is a fixed region.
    uint32_t RootCluster() const { return m_rootCluster; }
    qint64 FixedRootOffset() const { return m_rootOffset; }  // in bytes from the volume start
    uint32_t FixedRootEntries() const { return m_rootEntries; }
    qint64 ClusterOffset(uint32_t cluster) const {
        return m_dataOffset + qint64(cluster - 2) * m_clusterBytes;
    }
    const QString& Name() const { return m_name; }

    // The table's entry for a cluster.
    Result<uint32_t> Entry(uint32_t cluster);
    bool IsEndOfChain(uint32_t value) const { return value >= m_endOfChain; }
    bool IsBadMark(uint32_t value) const { return value == m_endOfChain - 1; }
    // The clusters of a chain from its first, in order, at most most of them. Fails, as damage
    // (Damaged), for a chain that is longer, leaves the volume, or meets a free or bad cluster:
    // a chain that loops is found by its length, so memory stays bounded by most.
    Result<std::vector<uint32_t>> Chain(uint32_t first, uint32_t most, const QString& owner);

    // Records damage met in the volume (what: the DOS path and what is wrong with it) and ends
    // writing: a batch in progress is spoilt, and nothing more is written. Gives the failure
    // for the user, with the advice to check the volume.
    Status Damaged(const QString& what);
    bool IsDamaged() const { return m_damaged; }
    // The clusters entries use, marked by the walk of the folders and by every change since.
    void MarkUsed(uint32_t cluster);
    bool IsUsed(uint32_t cluster) const {
        return cluster < m_used.size() * 64 && (m_used[cluster / 64] >> (cluster % 64) & 1) != 0;
    }
    // Starts the bitmap of used clusters afresh, every cluster unused.
    void ClearUsed() { m_used.assign(size_t(LastCluster()) / 64 + 1, 0); }

    // Reads bytes of the volume as they are after every write so far, held ones included.
    Status Read(qint64 volumeOffset, void* buffer, qint64 size);
    // Writes into clusters that no entry references yet (a new chain's data, a new folder
    // cluster's zeros); a batch holds them and joins adjacent ones.
    Status WriteData(qint64 volumeOffset, const void* buffer, qint64 size);
    // Copies bytes of the volume into clusters that no entry references yet, as WriteData
    // would write them, but inside the disk where the device can (copy_file_range on a raw
    // file): no copy passes through the process. A batch writes out the data it holds first.
    Status CopyData(qint64 fromVolumeOffset, qint64 toVolumeOffset, qint64 size);
    // Writes directory slots; a batch holds them until its table is written.
    Status WriteFolder(qint64 volumeOffset, const void* buffer, qint64 size);

    // Whether changes may be made; the reason why not, for the user, otherwise. The first call
    // reads the whole table once to compare its copies, a block at a time. A volume that a run
    // of Stowix left uncleanly (its note found) passes with its dirty bit or differing copies:
    // BeginWriting mends them.
    Status CheckWritable();
    // Makes CheckWritable refuse with why (a sentence for the user), whatever the file allows.
    void RefuseWriting(QString why) {
        m_writable = false;
        m_whyReadOnly = std::move(why);
    }
    // Stowix's note for this volume (unclean_note.h), and the serial number it is named by.
    void SetUncleanNote(UncleanNote note) { m_note = std::move(note); }
    uint32_t Serial() const { return m_serial; }
    // Before the first change, once the used clusters are marked (volume_survey.h): after an
    // unclean end of Stowix's own, frees the clusters no entry uses and makes every copy of the
    // table the first again; then notes the run and sets the volume's dirty bit (as Windows
    // does while a volume is in use, so that ScanDisk checks a volume left uncleanly). Finish
    // clears both.
    Status BeginWriting();
    // count free clusters, from after the last one taken on; nothing is changed, so the same
    // call gives the same clusters until SetEntry takes them.
    // Fails with the host's "No space left on device" when there are not so many.
    Result<std::vector<uint32_t>> FindFree(uint32_t count);
    // How many clusters no file or folder holds, with every change so far counted (but for the
    // frees a batch holds until its end, so never more than are free). The first call may read
    // the whole table once.
    Result<int64_t> FreeClusters();
    // Changes one table entry in the cache; CommitTable writes it. Inside a batch, freeing a
    // cluster (value 0) waits for the batch's end.
    Status SetEntry(uint32_t cluster, uint32_t value);
    uint32_t EndOfChainMark() const { return m_endOfChainMark; }
    // Writes the changed blocks to the first table copy, then to the others; nothing inside a
    // batch.
    Status CommitTable();
    // Forgets changes not yet committed; inside a batch, spoils the batch.
    void DiscardTable();

    // Starts a batch; batches nest, and the outermost EndBatch writes it. After a failed
    // EndBatch nothing of the batch is left in memory, but callers' copies of directory slots
    // may hold changes that never reached the image.
    void BeginBatch();
    Status EndBatch();
    bool Batching() const { return m_batchDepth > 0; }
    // Inside a batch, between two whole changes: writes what the batch holds when that has
    // grown past a few MiB, so that a batch of any size costs bounded memory. True when it
    // wrote; after a failure the batch goes on empty.
    Result<bool> CommitWhenLarge();

    // Grows with every write and every change held for writing; readers that keep bytes
    // compare it.
    uint64_t Writes() const { return m_writes; }

    // Makes every write so far durable, FAT32's free-cluster count written right first.
    Status Flush();
    // At each flush of the file system and at the end of the program's use of the image: writes
    // FAT32's free-cluster count when a change marked it unknown and, once all else is on the
    // disk, clears the dirty bit that BeginWriting set (durably) and removes the note; the next
    // change begins again. Nothing on a damaged volume.
    Status Finish();

    // An empty volume; only Open gives a usable one.
    FatVolume() = default;

private:
    static constexpr uint32_t BlockBytes = 4096;
    // 1 MiB of the table at most, beyond uncommitted changes.
    static constexpr size_t CachedBlocks = 256;
    // A batch's data, held to be written in runs.
    static constexpr qint64 HeldDataBytes = 1024 * 1024;
    // What a batch holds before CommitWhenLarge writes it out.
    static constexpr qint64 LargeBatchBytes = 4 * 1024 * 1024;
    static constexpr size_t LargeBatchBlocks = 512;
    static constexpr size_t LargeBatchFrees = 256 * 1024;
    static constexpr size_t MaxTakenRuns = 64 * 1024;  // about 3 MiB of runs at most

    Status ReadLayout(const unsigned char* boot, qint64 length);
    Status ReadTypeFields(const unsigned char* boot);
    Status BootSectorDamaged() const;
    Status Write(qint64 volumeOffset, const void* buffer, qint64 size);
    Status CopyThroughBuffer(qint64 from, qint64 to, qint64 size);
    struct Block {
        std::vector<unsigned char> bytes;
        bool dirty = false;
        std::list<uint32_t>::iterator age;
    };
    Result<Block*> TableBlock(uint32_t index);
    Status ReadTableByte(qint64 offset, unsigned char& byte);
    Status WriteTableByte(qint64 offset, unsigned char byte);
    Status ReadFsInfo();
    Result<Block*> EntryBlock(uint32_t cluster, size_t& within);
    int64_t CountFree(qint64 at, const unsigned char* bytes, qint64 size) const;
    Status SetEntryNow(uint32_t cluster, uint32_t value);
    Status StoreEntry(uint32_t cluster, uint32_t value);
    Status CompareTableCopies(bool refuseDifferences);
    Status ReclaimLost();
    Status WriteTableNow();
    Status MirrorFirstCopy();
    Status SetCleanBit(bool clean);
    Status InvalidateFreeCount();
    Status WriteFreeCount();
    Status WriteTable();
    Status WriteBlocks(qint64 table, const std::vector<uint32_t>& blocks);
    Status ReserveMetadata();
    Status Reserve(std::vector<std::pair<qint64, qint64>> ranges);
    Status Barrier();
    Status CommitBatch();
    void NoteTaken(uint32_t cluster);
    bool TakenSinceFlush(uint32_t cluster) const;
    void AbandonBatch();

    BlockDevice* m_device = nullptr;  // non-owning; the file system owns the disk
    bool m_writable = false;
    qint64 m_offset = 0;
    QString m_name;
    FatType m_type = FatType::Fat16;
    uint32_t m_sectorBytes = 512;
    uint32_t m_clusterBytes = 0;
    uint32_t m_clusterCount = 0;
    uint32_t m_fatCount = 2;
    qint64 m_fatOffset = 0;  // the first copy, in bytes from the volume start
    qint64 m_fatBytes = 0;   // one copy
    uint32_t m_activeFat = 0;
    bool m_mirrored = true;
    qint64 m_rootOffset = 0;
    uint32_t m_rootEntries = 0;
    uint32_t m_rootCluster = 0;
    qint64 m_dataOffset = 0;
    uint32_t m_endOfChain = 0;      // values from this on end a chain
    uint32_t m_endOfChainMark = 0;  // the value written to end one
    uint32_t m_fsInfoSector = 0;
    bool m_bootDirty = false;
    bool m_batchHasData = false;  // the batch wrote or holds data of new chains
    QString m_whyReadOnly;
    uint32_t m_serial = 0;
    UncleanNote m_note;
    bool m_recovering = false;  // the note was found: a run of Stowix ended uncleanly
    bool m_begun = false;
    bool m_marked = false;  // the dirty bit is set and the note made, until Finish
    bool m_damaged = false;
    std::vector<uint64_t> m_used;  // a bit a cluster; empty until the folders are walked

    std::unordered_map<uint32_t, Block> m_blocks;
    std::list<uint32_t> m_ages;  // least recently used first
    uint32_t m_nextFree = 2;
    uint32_t m_hint = 0xFFFFFFFF;  // the last cluster taken on, for FSInfo; all ones: unknown
    size_t m_dirtyBlocks = 0;
    std::set<uint32_t> m_relinkBlocks;  // changed blocks that link an existing chain on
    int64_t m_freeClusters = -1;        // -1 while not counted
    qint64 m_fsInfoOffset = -1;         // FAT32's FSInfo sector when it is sound; -1 otherwise
    enum class Writability { Unknown, Yes, No };
    Writability m_writability = Writability::Unknown;
    QString m_whyNotWritable;
    bool m_freeCountInvalidated = false;

    uint64_t m_writes = 0;
    int m_batchDepth = 0;
    bool m_batchSpoilt = false;
    HeldWrites m_heldData;
    HeldWrites m_heldFolders;
    std::vector<uint32_t> m_heldFrees;  // clusters to free once the batch's slots are written
    // The clusters taken since the last flush, as runs (first to one past the last); when they
    // grow too many, every cluster counts as durable (m_takenOverflow) until the next flush.
    std::map<uint32_t, uint32_t> m_takenRuns;
    bool m_takenOverflow = false;
};

}  // namespace stowix::fat
