// Pictures under the description: an ffmpeg cover and heif-enc items (an
// image, its thumbnail, an AVIF) decoded off the window's thread and saved on
// request; a broken cover, an oversized one and a stale decode say so or go.

#include <QAction>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QTemporaryDir>
#include <QTest>

#include <filesystem>

#include "GuiFixtures.h"
#include "shell/qt/ParserMain.h"
#include "shell/qt/PictureView.h"
#include "support/Process.h"
#include "unit/FullFixtures.h"

using namespace kestrova;
using namespace kestrova::test;

namespace {

QByteArray FileBytes(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Opens path in the full view of w and selects the nth box of type, or the
// box after it (its first child) with next.
void Select(TParserMain& w, const QString& path, const std::string& type, int nth = 0, int next = 0) {
    if (!w.FullView1->isChecked()) w.FullView1->setChecked(true);
    if (QString::fromStdString(w.Doc().FilePath()) != path) w.OpenFile(path);
    const std::int64_t node = FullNodeOf(w.Doc(), type, nth);
    QVERIFY2(node > 0, type.c_str());
    w.SelectNode(static_cast<std::int32_t>(node + next));
}

// Waits for the decode and returns the picture's size; an empty size when none came.
QSize Shown(TParserMain& w) {
    if (!QTest::qWaitFor([&w] { return !w.PictureView1->Decoding(); }, 10000)) return {};
    return w.PictureView1->HasPicture() ? w.PictureView1->Picture().preview.size() : QSize();
}

class PictureViewTest : public QObject {
    Q_OBJECT

private slots:
    void coverAndImageItemsShowAndSave() {
        if (!HaveTool("ffmpeg") || !HaveTool("heif-enc")) QSKIP("ffmpeg or heif-enc is not installed");
        QTemporaryDir dir;
        const QString cover = dir.filePath("cover.jpg"), song = dir.filePath("song.m4a"), png = dir.filePath("a.png");
        const auto q = [](const QString& p) { return ShellQuote(p.toStdString()); };
        QCOMPARE(Run("ffmpeg -nostdin -v error -y -f lavfi -i testsrc2=size=96x64 -frames:v 1 " + q(cover), true).exitCode, 0);
        QCOMPARE(Run("ffmpeg -nostdin -v error -y -f lavfi -i sine=r=8000 -i " + q(cover) +
                         " -t 0.2 -map 0 -map 1 -c:a aac -c:v copy -disposition:v attached_pic " + q(song), true).exitCode, 0);
        QCOMPARE(Run("ffmpeg -nostdin -v error -y -f lavfi -i testsrc=size=160x120 -frames:v 1 -pix_fmt rgba " + q(png), true).exitCode, 0);
        const QString heic = dir.filePath("thumb.heic"), avif = dir.filePath("a.avif");
        QCOMPARE(Run("heif-enc -t 40 " + q(png) + " -o " + q(heic), true).exitCode, 0);
        QCOMPARE(Run("heif-enc -A " + q(png) + " -o " + q(avif), true).exitCode, 0);

        TParserMain w;
        w.show();
        QVERIFY(!w.PictureView1->isVisible());
        QVERIFY(!w.FileSavePicture1->isEnabled());

        // The cover's data box, and the covr item holding it.
        for (const int next : {1, 0}) {
            Select(w, song, "covr", 0, next);
            QCOMPARE(Shown(w), QSize(96, 64));
            QVERIFY(w.PictureView1->isVisible());
            QVERIFY(w.PictureView1->CaptionText().startsWith(QStringLiteral("JPEG, 96 × 64, ")));
            QVERIFY(w.FileSavePicture1->isEnabled());
        }
        // Saved as stored: ffmpeg copied the JPEG into the data box.
        const QString saved = dir.filePath("saved.jpg");
        QVERIFY(w.SavePicture(saved));
        QCOMPARE(FileBytes(saved), FileBytes(cover));
        // A box without a picture hides it.
        Select(w, song, "mvhd");
        QVERIFY(!w.PictureView1->isVisible());
        QVERIFY(!w.FileSavePicture1->isEnabled());

        // The primary image, its thumbnail (through the image), the meta for the primary item.
        Select(w, heic, "infe", 0);
        QCOMPARE(Shown(w), QSize(160, 120));
        // heif-enc makes the thumbnail a grid of one tile; the tile is reached through the grid only.
        // With alpha, the image and the thumbnail each have an auxiliary alpha plane.
        QSize thumbnail;
        bool tileSaysWhere = false;
        for (int nth = 1; FullNodeOf(w.Doc(), "infe", nth) > 0; ++nth) {
            Select(w, heic, "infe", nth);
            const QSize size = Shown(w);
            if (w.PictureView1->CaptionText().startsWith(QStringLiteral("thumbnail item"))) {
                thumbnail = size;
                // An item is saved decoded, as PNG.
                const QString saved = dir.filePath("thumb.png");
                QVERIFY(w.SavePicture(saved));
                QCOMPARE(QImage(saved).size(), thumbnail);
            }
            const bool tile = w.PictureView1->CaptionText().contains(QStringLiteral("select that item to see the picture"));
            tileSaysWhere |= tile;
            // Every other item shows: the image's and the thumbnail's alpha planes too.
            QVERIFY2(tile || size.isValid(), qPrintable(w.PictureView1->CaptionText()));
        }
        QCOMPARE(std::max(thumbnail.width(), thumbnail.height()), 40);
        QVERIFY(tileSaysWhere);
        Select(w, heic, "meta");
        QCOMPARE(Shown(w), QSize(160, 120));
        Select(w, avif, "infe", 0);
        QCOMPARE(Shown(w), QSize(160, 120));
        QVERIFY(w.PictureView1->CaptionText().contains(QStringLiteral("(av01)")));
    }

    void badPicturesSayWhy() {
        const Bytes hdlr = FullBox("hdlr", 0, 0, Cat({U32(0), Text("mdir"), Text("appl"), Zeros(9)}));
        const auto tagged = [&hdlr](const Bytes& data) {
            return Cat({Box("ftyp", Cat({Text("M4A "), U32(0)})),
                        Box("moov", {Box("udta", {FullBox("meta", 0, 0, Cat({hdlr, Box("ilst", {Box("covr", {data})})}))})}),
                        Box("free")});
        };
        const auto data = [](std::uint32_t indicator, const Bytes& value) {
            return Box("data", Cat({U32(indicator), U32(0), value}));
        };
        // A JPEG cut after its start; a BMP whose header says 12,000 × 10,000 pixels.
        TempFile broken(tagged(data(13, Cat({U8(0xFF), U8(0xD8), U8(0xFF), U8(0xE0), Zeros(12)}))), "broken.m4a");
        const Bytes bmpHeader = Cat({Text("BM"), LE32(54), LE32(0), LE32(54), LE32(40), LE32(12000), LE32(10000),
                                     Cat({U8(1), U8(0), U8(24), U8(0)}), Zeros(24)});
        TempFile huge(tagged(data(27, bmpHeader)), "huge.m4a");

        TParserMain w;
        w.show();
        Select(w, QString::fromStdString(broken.Path()), "covr", 0, 1);
        QCOMPARE(Shown(w), QSize());
        QVERIFY2(w.PictureView1->CaptionText().startsWith(QStringLiteral("The JPEG cannot be decoded")),
                 qPrintable(w.PictureView1->CaptionText()));
        QVERIFY(w.PictureView1->isVisible());
        QVERIFY(!w.FileSavePicture1->isEnabled());

        Select(w, QString::fromStdString(huge.Path()), "data");
        QCOMPARE(Shown(w), QSize());
        QCOMPARE(w.PictureView1->CaptionText(),
                 QStringLiteral("BMP of 12,000 × 10,000 pixels (120 megapixels): pictures over 100 megapixels are not decoded"));

        // Past 64 MiB the bytes are not even read: a sparse file ending in a data box of 70 MB.
        const Bytes big = Cat({Box("ftyp", Cat({Text("M4A "), U32(0)})), BoxWithSize(70'000'016, "data", Cat({U32(14), U32(0)}))});
        TempFile sparse(big, "sparse.m4a");
        std::filesystem::resize_file(sparse.Path(), big.size() + 70'000'000);
        Select(w, QString::fromStdString(sparse.Path()), "data");
        QCOMPARE(Shown(w), QSize());
        QCOMPARE(w.PictureView1->CaptionText(),
                 QStringLiteral("PNG of 70,000,000 bytes: pictures over 64 MiB are not decoded"));

        // A decode overtaken by another selection is dropped.
        Select(w, QString::fromStdString(huge.Path()), "data");
        Select(w, QString::fromStdString(huge.Path()), "ilst");
        QTest::qWait(200);
        QVERIFY(!w.PictureView1->isVisible());
        QVERIFY(!w.PictureView1->HasPicture());
    }
};

}  // namespace

QTEST_MAIN(PictureViewTest)
#include "PictureViewTest.moc"
