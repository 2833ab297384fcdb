#include "registry/registry_walk.h"

#include "dos/ansi_code_page.h"
#include "registry/file_reader_bfio.h"

#include <libbfio.h>
#include <libcreg.h>

#include <cstring>
#include <unordered_set>
#include <vector>

namespace stowix {

namespace {

// The file header and the key tree's header: a file shorter than this cannot hold a key.
constexpr qsizetype SmallestRegistry = 0x40;
// Items between two flushes.
constexpr int FlushEvery = 4096;

// Owners of libcreg's handles, freed on every way out.
struct Key {
    libcreg_key_t* key = nullptr;
    Key() = default;
    Key(Key&& other) noexcept : key(std::exchange(other.key, nullptr)) {}
    Key& operator=(Key&&) = delete;
    ~Key() {
        if (key) libcreg_key_free(&key, nullptr);
    }
};
struct Value {
    libcreg_value_t* value = nullptr;
    ~Value() {
        if (value) libcreg_value_free(&value, nullptr);
    }
};
// libcreg reports errors in an object of its own; this one is freed and dropped: the reasons
// the walk gives are its own, in plain words.
struct Error {
    libcreg_error_t* error = nullptr;
    ~Error() { Clear(); }
    libcreg_error_t** Out() {
        Clear();
        return &error;
    }
    void Clear() {
        if (error) libcreg_error_free(&error);
    }
};

// Names are stored in the ANSI code page.
QString Decode(const QByteArray& bytes) {
    QString text;
    text.reserve(bytes.size());
    for (char c : bytes) {
        if (c == '\0') break;
        text.append(CharacterFromWindows1252(static_cast<unsigned char>(c)));
    }
    return text;
}

bool KeyName(libcreg_key_t* key, QString& name) {
    Error error;
    size_t size = 0;
    if (libcreg_key_get_name_size(key, &size, error.Out()) != 1) return false;
    QByteArray bytes(qsizetype(size), '\0');
    if (size > 0 &&
        libcreg_key_get_name(key, reinterpret_cast<uint8_t*>(bytes.data()), size, error.Out()) != 1)
        return false;
    name = Decode(bytes);
    return true;
}

bool ReadValue(libcreg_value_t* value, QString& name, quint32& type, QByteArray& data) {
    Error error;
    size_t nameSize = 0;
    if (libcreg_value_get_name_size(value, &nameSize, error.Out()) != 1) return false;
    QByteArray nameBytes(qsizetype(nameSize), '\0');
    if (nameSize > 0 && libcreg_value_get_name(value, reinterpret_cast<uint8_t*>(nameBytes.data()),
                                               nameSize, error.Out()) != 1)
        return false;
    name = Decode(nameBytes);
    uint32_t valueType = 0;
    if (libcreg_value_get_value_type(value, &valueType, error.Out()) != 1) return false;
    type = valueType;
    size_t dataSize = 0;
    if (libcreg_value_get_value_data_size(value, &dataSize, error.Out()) != 1) return false;
    data = QByteArray(qsizetype(dataSize), '\0');
    return dataSize == 0 ||
           libcreg_value_get_value_data(value, reinterpret_cast<uint8_t*>(data.data()), dataSize,
                                        error.Out()) == 1;
}

struct Pending {
    Key key;
    QString path;
};

class Walk {
public:
    Walk(SendItems sendItems, RegistryStreamWriter& writer,
         const std::function<void(RegistryStreamWriter&)>& flush)
        : m_send(sendItems == SendItems::Yes), m_writer(writer), m_flush(flush) {}

    // The reason the file is damaged, or an empty text when every key and value read.
    QString Run(libcreg_key_t* root, const QString& rootName);

    qint64 keys = 0;
    qint64 values = 0;

private:
    QString VisitValues(libcreg_key_t* key, const QString& path);
    void Counted() {
        if (++m_sinceFlush < FlushEvery) return;
        m_sinceFlush = 0;
        m_flush(m_writer);
    }

    bool m_send;
    RegistryStreamWriter& m_writer;
    const std::function<void(RegistryStreamWriter&)>& m_flush;
    int m_sinceFlush = 0;
};

QString Walk::Run(libcreg_key_t* root, const QString& rootName) {
    // Depth first with a stack of its own, so that a deep (or endless) chain of keys cannot
    // exhaust the process's stack; each key's offset in the key tree is remembered, and a key
    // met again means the tree loops.
    std::unordered_set<off64_t> walked;
    std::vector<Pending> stack;
    stack.push_back({});
    stack.back().key.key = root;
    stack.back().path = rootName;
    while (!stack.empty()) {
        Pending current = std::move(stack.back());
        stack.pop_back();
        Error error;
        off64_t offset = 0;
        if (libcreg_key_get_offset(current.key.key, &offset, error.Out()) != 1)
            return QStringLiteral("the key %1 cannot be placed in the file").arg(current.path);
        if (!walked.insert(offset).second)
            return QStringLiteral("the key %1 is its own ancestor: the key tree loops")
                .arg(current.path);

        ++keys;
        if (m_send) m_writer.Key(current.path);
        Counted();
        if (const QString damage = VisitValues(current.key.key, current.path); !damage.isEmpty())
            return damage;

        int subKeys = 0;
        if (libcreg_key_get_number_of_sub_keys(current.key.key, &subKeys, error.Out()) != 1)
            return QStringLiteral("the sub keys of %1 cannot be read").arg(current.path);
        // Pushed last to first, so that they are walked in the file's order.
        const size_t firstNew = stack.size();
        stack.resize(firstNew + size_t(subKeys));
        for (int index = 0; index < subKeys; ++index) {
            Pending& next = stack[firstNew + size_t(subKeys - 1 - index)];
            QString name;
            if (libcreg_key_get_sub_key_by_index(current.key.key, index, &next.key.key,
                                                 error.Out()) != 1 ||
                !KeyName(next.key.key, name))
                return QStringLiteral(
                           "sub key %1 of %2 cannot be read: its entry points outside "
                           "the file or into a damaged data block")
                    .arg(index + 1)
                    .arg(current.path);
            next.path = current.path + u'\\' + name;
        }
    }
    return QString();
}

QString Walk::VisitValues(libcreg_key_t* key, const QString& path) {
    Error error;
    int count = 0;
    if (libcreg_key_get_number_of_values(key, &count, error.Out()) != 1)
        return QStringLiteral("the values of %1 cannot be read").arg(path);
    for (int index = 0; index < count; ++index) {
        Value value;
        QString name;
        quint32 type = 0;
        QByteArray data;
        if (libcreg_key_get_value_by_index(key, index, &value.value, error.Out()) != 1 ||
            !ReadValue(value.value, name, type, data))
            return QStringLiteral("value %1 of %2 cannot be read").arg(index + 1).arg(path);
        ++values;
        if (m_send) m_writer.Value(path, name, type, data);
        Counted();
    }
    return QString();
}

// Opens the file and walks it; the reason it is damaged, or an empty text.
QString OpenAndWalk(FileReader& file, const QString& rootName, Walk& walk) {
    char signature[4] = {};
    const Result<qint64> read = file.ReadAt(0, signature, 4);
    if (!read) return QStringLiteral("it cannot be read: ") + read.reason();
    if (read.value() < 4 || std::memcmp(signature, "CREG", 4) != 0)
        return QStringLiteral("it does not begin as a registry file does (no \"CREG\" signature)");
    if (file.Size() < SmallestRegistry)
        return QStringLiteral("it is cut short (%1 bytes)").arg(file.Size());

    FileReaderBfio bfio(file);
    if (!bfio.Handle()) return QStringLiteral("the registry reader could not be started on it");

    // The file is never closed nor freed. The walk runs in a child process that ends as soon as
    // it has answered, and closing the file frees libcreg's caches entry by entry, touching
    // every page they reserved: that took a third of the time of a whole check, where the
    // process's end gives the memory back at once.
    libcreg_file_t* creg = nullptr;
    Error error;
    if (libcreg_file_initialize(&creg, error.Out()) != 1)
        return QStringLiteral("the registry reader could not be started on it");
    if (libcreg_file_open_file_io_handle(creg, bfio.Handle(), LIBCREG_OPEN_READ, error.Out()) != 1)
        return QStringLiteral(
            "its header, key tree or data blocks are damaged: it cannot be opened");

    Key root;
    const int found = libcreg_file_get_root_key(creg, &root.key, error.Out());
    if (found == 0)
        return QStringLiteral(
            "it has no root key: its key tree or its first data block is damaged");
    if (found != 1) return QStringLiteral("its root key cannot be read");
    // The walk takes the root into its own stack, which frees it.
    return walk.Run(std::exchange(root.key, nullptr), rootName);
}

}  // namespace

WalkOutcome WalkRegistry(FileReader& file, const QString& rootName, SendItems sendItems,
                         RegistryStreamWriter& writer,
                         const std::function<void(RegistryStreamWriter&)>& flush) {
    Walk walk(sendItems, writer, flush);
    WalkOutcome outcome;
    outcome.damage = OpenAndWalk(file, rootName, walk);
    outcome.keys = walk.keys;
    outcome.values = walk.values;
    return outcome;
}

}  // namespace stowix
