#pragma once
// The form in which the registry reader's child process hands its findings to the parent: a
// simple length-prefixed byte stream that the parent can read back in full or recognise as cut
// off. It does not deal with pipes or processes (registry_check.h does).
//
// The stream is a run of records, each a one-byte tag and its fields: "K" a key (path), "V" a
// value (key path, name, type, data), and at the end exactly one of "S" sound (key and value
// counts) or "D" damaged (the reason). Texts are UTF-8 and all numbers 32-bit little-endian;
// texts and data carry their length in front.

#include "registry/registry_item.h"
#include "services/result.h"

#include <QByteArray>
#include <QString>

namespace stowix {

// What the parent learns from a finished stream.
struct RegistryReport {
    bool sound = false;
    QString damage;   // why it is not sound
    qint64 keys = 0;  // counted by the walk, whether or not the items were sent
    qint64 values = 0;
    RegistryItems items;  // empty unless the walk was asked to send them
};

class RegistryStreamWriter {
public:
    void Key(const QString& path);
    void Value(const QString& keyPath, const QString& name, quint32 type, const QByteArray& data);
    void Sound(qint64 keys, qint64 values);
    void Damaged(const QString& reason);

    // The bytes written so far, handed over and cleared, so that a long walk can send as it goes.
    QByteArray Take();

private:
    void Text(const QString& text);
    void Bytes(const QByteArray& bytes);
    void Number(quint32 number);
    QByteArray m_bytes;
};

// The report in a complete stream; fails when the stream is cut off or malformed, which means
// the child ended before it finished.
Result<RegistryReport> ReadRegistryStream(const QByteArray& stream);

}  // namespace stowix
