// An image in use elsewhere is refused and left as it was; an image in use by Stowix is locked
// against others.

#include "image/image_fixture.h"

#include <QFile>
#include <QProcess>

#include <fcntl.h>
#include <unistd.h>

namespace stowix::test {
namespace {

class ImageLock : public testing::Test {
protected:
    void SetUp() override {
        image.AddFile(QStringLiteral("WIN.INI"), "x");
        before = FileDigest(image.Path());
    }

    QString Failure() {
        Result<std::unique_ptr<FileSystem>> opened =
            OpenFatImageFile(u'C', image.Path().toStdString());
        return opened ? QString() : opened.reason();
    }

    MtoolsImage image{ImageSpec{16, 16, ImageSpec::Layout::Mbr}};
    QByteArray before;
};

TEST_F(ImageLock, a_second_copy_is_kept_out_while_the_first_works) {
    std::unique_ptr<FileSystem> first = OpenImage(image);
    ASSERT_TRUE(first);
    const QString failure = Failure();
    EXPECT_TRUE(failure.contains(QStringLiteral("another copy of Stowix")))
        << failure.toStdString();
    first.reset();
    EXPECT_TRUE(Failure().isEmpty());
}

TEST_F(ImageLock, a_program_writing_the_image_is_named_and_the_image_left_alone) {
    QProcess holder;
    holder.start(QStringLiteral("sh"),
                 {QStringLiteral("-c"), QStringLiteral("exec 3<>\"$0\"; echo ready; exec sleep 60"),
                  image.Path()});
    ASSERT_TRUE(holder.waitForReadyRead(10000));
    // sleep has taken over the shell's process, and its open image with it.
    QString failure;
    for (int tries = 0; tries < 50 && !failure.contains(QStringLiteral("sleep")); ++tries) {
        failure = Failure();
        ::usleep(20000);
    }
    EXPECT_TRUE(failure.contains(QStringLiteral("sleep (process"))) << failure.toStdString();
    EXPECT_TRUE(failure.contains(QStringLiteral("in use"))) << failure.toStdString();
    holder.kill();
    holder.waitForFinished();
    EXPECT_EQ(FileDigest(image.Path()), before);
}

TEST_F(ImageLock, qemus_lock_bytes_keep_stowix_out_and_stowix_keeps_qemu_out) {
    {
        // A QEMU that writes the image holds byte 101 and, not sharing writes, byte 201.
        const int qemu = ::open(image.Path().toLocal8Bit().constData(), O_RDONLY | O_CLOEXEC);
        ASSERT_GE(qemu, 0);
        struct flock lock {};
        lock.l_type = F_RDLCK;
        lock.l_whence = SEEK_SET;
        lock.l_start = 201;
        lock.l_len = 1;
        ASSERT_EQ(::fcntl(qemu, F_OFD_SETLK, &lock), 0);
        const QString failure = Failure();
        EXPECT_TRUE(failure.contains(QStringLiteral("QEMU"))) << failure.toStdString();
        ::close(qemu);
    }
    std::unique_ptr<FileSystem> files = OpenImage(image);
    ASSERT_TRUE(files);
    // What QEMU asks before it opens the image for writing: is byte 201 or 101 locked?
    const int qemu = ::open(image.Path().toLocal8Bit().constData(), O_RDONLY | O_CLOEXEC);
    struct flock probe {};
    probe.l_type = F_WRLCK;
    probe.l_whence = SEEK_SET;
    probe.l_start = 101;
    probe.l_len = 1;
    ASSERT_EQ(::fcntl(qemu, F_OFD_GETLK, &probe), 0);
    EXPECT_NE(probe.l_type, F_UNLCK);
    ::close(qemu);
    files.reset();
    EXPECT_EQ(FileDigest(image.Path()), before);
}

}  // namespace
}  // namespace stowix::test
