#include "registry/file_reader_bfio.h"

#include <algorithm>
#include <cstring>

#include <stdio.h>  // SEEK_SET, SEEK_CUR, SEEK_END

namespace stowix {

struct FileReaderBfio::State {
    FileReader* reader = nullptr;
    qint64 position = 0;
    bool open = false;
    // The window: the file's bytes from windowStart, as last read.
    QByteArray window;
    qint64 windowStart = 0;
};

namespace {

constexpr qint64 WindowSize = 256 * 1024;

using State = FileReaderBfio::State;

State& Of(intptr_t* ioHandle) { return *reinterpret_cast<State*>(ioHandle); }

int Open(intptr_t* ioHandle, int, libbfio_error_t**) {
    Of(ioHandle).open = true;
    return 1;
}

int Close(intptr_t* ioHandle, libbfio_error_t**) {
    Of(ioHandle).open = false;
    return 0;
}

// Fills the window so that it starts at offset; false when the reader fails.
bool FillWindow(State& state, qint64 offset) {
    state.window.resize(std::min(WindowSize, std::max<qint64>(0, state.reader->Size() - offset)));
    qint64 filled = 0;
    while (filled < state.window.size()) {
        const Result<qint64> got = state.reader->ReadAt(
            offset + filled, state.window.data() + filled, state.window.size() - filled);
        if (!got) return false;
        if (got.value() == 0) break;
        filled += got.value();
    }
    state.window.truncate(filled);
    state.windowStart = offset;
    return true;
}

ssize_t Read(intptr_t* ioHandle, uint8_t* buffer, size_t size, libbfio_error_t**) {
    State& state = Of(ioHandle);
    qint64 done = 0;
    while (done < qint64(size)) {
        const qint64 at = state.position + done;
        const qint64 inWindow = at - state.windowStart;
        if (inWindow < 0 || inWindow >= state.window.size()) {
            // A large piece is read straight into the caller's buffer.
            if (qint64(size) - done >= WindowSize) {
                const Result<qint64> got = state.reader->ReadAt(
                    at, reinterpret_cast<char*>(buffer) + done, qint64(size) - done);
                if (!got) return -1;
                if (got.value() == 0) break;
                done += got.value();
                continue;
            }
            if (!FillWindow(state, at)) return -1;
            if (state.window.isEmpty()) break;  // the end of the file
            continue;
        }
        const qint64 take = std::min(qint64(size) - done, state.window.size() - inWindow);
        std::memcpy(buffer + done, state.window.constData() + inWindow, size_t(take));
        done += take;
    }
    state.position += done;
    return ssize_t(done);
}

ssize_t Write(intptr_t*, const uint8_t*, size_t, libbfio_error_t**) { return -1; }

off64_t Seek(intptr_t* ioHandle, off64_t offset, int whence, libbfio_error_t**) {
    State& state = Of(ioHandle);
    qint64 target = offset;
    if (whence == SEEK_CUR)
        target += state.position;
    else if (whence == SEEK_END)
        target += state.reader->Size();
    else if (whence != SEEK_SET)
        return -1;
    if (target < 0) return -1;
    state.position = target;
    return off64_t(target);
}

int Exists(intptr_t*, libbfio_error_t**) { return 1; }

int IsOpen(intptr_t* ioHandle, libbfio_error_t**) { return Of(ioHandle).open ? 1 : 0; }

int GetSize(intptr_t* ioHandle, size64_t* size, libbfio_error_t**) {
    *size = size64_t(Of(ioHandle).reader->Size());
    return 1;
}

}  // namespace

FileReaderBfio::FileReaderBfio(FileReader& reader) : m_state(std::make_unique<State>()) {
    m_state->reader = &reader;
    libbfio_error_t* error = nullptr;
    // The state stays this object's: libbfio never frees it, and a clone shares it.
    if (libbfio_handle_initialize(
            &m_handle, reinterpret_cast<intptr_t*>(m_state.get()), nullptr, nullptr, Open, Close,
            Read, Write, Seek, Exists, IsOpen, GetSize,
            LIBBFIO_FLAG_IO_HANDLE_NON_MANAGED | LIBBFIO_FLAG_IO_HANDLE_CLONE_BY_REFERENCE,
            &error) != 1) {
        libbfio_error_free(&error);
        m_handle = nullptr;
    }
}

FileReaderBfio::~FileReaderBfio() {
    if (m_handle) libbfio_handle_free(&m_handle, nullptr);
}

Result<qint64> BytesReader::ReadAt(qint64 offset, char* buffer, qint64 size) {
    if (offset < 0) return Result<qint64>::Fail(QStringLiteral("Invalid argument"));
    const qint64 take = std::clamp<qint64>(m_bytes.size() - offset, 0, size);
    if (take > 0) std::memcpy(buffer, m_bytes.constData() + offset, size_t(take));
    return take;
}

}  // namespace stowix
