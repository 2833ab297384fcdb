#include "registry/registry_stream.h"

namespace stowix {

void RegistryStreamWriter::Key(const QString& path) {
    m_bytes.append('K');
    Text(path);
}

void RegistryStreamWriter::Value(const QString& keyPath, const QString& name, quint32 type,
                                 const QByteArray& data) {
    m_bytes.append('V');
    Text(keyPath);
    Text(name);
    Number(type);
    Bytes(data);
}

void RegistryStreamWriter::Sound(qint64 keys, qint64 values) {
    m_bytes.append('S');
    Number(quint32(keys));
    Number(quint32(values));
}

void RegistryStreamWriter::Damaged(const QString& reason) {
    m_bytes.append('D');
    Text(reason);
}

QByteArray RegistryStreamWriter::Take() { return std::exchange(m_bytes, QByteArray()); }

void RegistryStreamWriter::Text(const QString& text) { Bytes(text.toUtf8()); }

void RegistryStreamWriter::Bytes(const QByteArray& bytes) {
    Number(quint32(bytes.size()));
    m_bytes.append(bytes);
}

void RegistryStreamWriter::Number(quint32 number) {
    const char bytes[4] = {char(number), char(number >> 8), char(number >> 16), char(number >> 24)};
    m_bytes.append(bytes, 4);
}

namespace {

class StreamReader {
public:
    explicit StreamReader(const QByteArray& stream) : m_stream(stream) {}
    bool AtEnd() const { return m_at >= m_stream.size(); }
    bool Tag(char& tag) {
        if (AtEnd()) return false;
        tag = m_stream[m_at++];
        return true;
    }
    bool Number(quint32& number) {
        if (m_stream.size() - m_at < 4) return false;
        number = 0;
        for (int i = 3; i >= 0; --i)
            number = (number << 8) | static_cast<unsigned char>(m_stream[m_at + i]);
        m_at += 4;
        return true;
    }
    bool Bytes(QByteArray& bytes) {
        quint32 size = 0;
        if (!Number(size) || quint64(m_stream.size() - m_at) < size) return false;
        bytes = m_stream.mid(m_at, size);
        m_at += size;
        return true;
    }
    bool Text(QString& text) {
        QByteArray bytes;
        if (!Bytes(bytes)) return false;
        text = QString::fromUtf8(bytes);
        return true;
    }

private:
    const QByteArray& m_stream;
    qsizetype m_at = 0;
};

}  // namespace

Result<RegistryReport> ReadRegistryStream(const QByteArray& stream) {
    const auto cutOff = [] {
        return Result<RegistryReport>::Fail(QStringLiteral("the reader's answer is cut off"));
    };
    RegistryReport report;
    StreamReader reader(stream);
    char tag = 0;
    while (reader.Tag(tag)) {
        switch (tag) {
        case 'K': {
            RegistryItem item;
            if (!reader.Text(item.keyPath)) return cutOff();
            report.items.push_back(std::move(item));
            break;
        }
        case 'V': {
            RegistryItem item;
            item.isValue = true;
            if (!reader.Text(item.keyPath) || !reader.Text(item.valueName) ||
                !reader.Number(item.type) || !reader.Bytes(item.data))
                return cutOff();
            report.items.push_back(std::move(item));
            break;
        }
        case 'S': {
            quint32 keys = 0;
            quint32 values = 0;
            if (!reader.Number(keys) || !reader.Number(values)) return cutOff();
            report.sound = true;
            report.keys = keys;
            report.values = values;
            return reader.AtEnd() ? Result<RegistryReport>(std::move(report)) : cutOff();
        }
        case 'D':
            if (!reader.Text(report.damage)) return cutOff();
            return reader.AtEnd() ? Result<RegistryReport>(std::move(report)) : cutOff();
        default:
            return Result<RegistryReport>::Fail(QStringLiteral("the reader's answer is garbled"));
        }
    }
    return cutOff();
}

}  // namespace stowix
