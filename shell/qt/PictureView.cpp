#include "shell/qt/PictureView.h"

#include <QBuffer>
#include <QFile>
#include <QFutureWatcher>
#include <QImageReader>
#include <QLabel>
#include <QLocale>
#include <QPixmap>
#include <QVBoxLayout>
#include <QtConcurrent/QtConcurrentRun>

#include <libheif/heif.h>

#include <algorithm>
#include <memory>
#include <vector>

namespace kestrova {
namespace {

// The preview is made on the worker so that the window only ever scales a small image.
constexpr int kPreviewSide = 1024;

QString Count(std::uint64_t n) { return QLocale(QLocale::English).toString(static_cast<qulonglong>(n)); }

QString FourccText(std::uint32_t type) {
    QString s;
    for (int shift = 24; shift >= 0; shift -= 8) {
        const auto c = static_cast<char>((type >> shift) & 0xFF);
        s += c >= 0x20 && c < 0x7F ? QChar::fromLatin1(c) : QLatin1Char('.');
    }
    return s;
}

// "JPEG" or "item 3 (hvc1)", "thumbnail item 2 (hvc1) of item 1".
QString NameOf(const PictureSource& p) {
    if (p.kind != PictureKind::HeifItem) return QString::fromLatin1(PictureKindName(p.kind));
    QString name = QStringLiteral("item %1 (%2)").arg(p.itemId).arg(FourccText(p.itemType));
    if (p.role == ItemRole::Thumbnail) name = QStringLiteral("thumbnail ") + name + QStringLiteral(" of item %1").arg(p.ownerId);
    if (p.role == ItemRole::Auxiliary) name = QStringLiteral("auxiliary ") + name + QStringLiteral(" of item %1").arg(p.ownerId);
    return name;
}

QString SizeText(std::uint64_t w, std::uint64_t h) { return Count(w) + QStringLiteral(" × ") + Count(h); }

DecodedPicture Refused(const QString& caption) {
    DecodedPicture d;
    d.caption = caption;
    return d;
}

std::optional<QString> TooLarge(const PictureSource& p, std::uint64_t w, std::uint64_t h) {
    if (w * h <= kMaxPicturePixels) return std::nullopt;
    return NameOf(p) + QStringLiteral(" of ") + SizeText(w, h) + QStringLiteral(" pixels (") + Count(w * h / 1'000'000) +
           QStringLiteral(" megapixels): pictures over 100 megapixels are not decoded");
}

void Finish(DecodedPicture& d, const PictureSource& p, const QImage& image) {
    d.ok = true;
    d.preview = image.width() > kPreviewSide || image.height() > kPreviewSide
                    ? image.scaled(kPreviewSide, kPreviewSide, Qt::KeepAspectRatio, Qt::SmoothTransformation)
                    : image;
    d.caption = NameOf(p) + QStringLiteral(", ") + SizeText(static_cast<std::uint64_t>(image.width()),
                                                            static_cast<std::uint64_t>(image.height()));
    if (p.length > 0) d.caption += QStringLiteral(", ") + Count(p.length) + QStringLiteral(" bytes");
}

DecodedPicture DecodeWithQt(const QString& path, const PictureSource& p) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return Refused(QStringLiteral("The file cannot be opened: ") + file.errorString());
    if (!file.seek(static_cast<qint64>(p.offset))) return Refused(QStringLiteral("The picture lies past the end of the file"));
    DecodedPicture d;
    d.encoded = file.read(static_cast<qint64>(p.length));
    if (static_cast<std::uint64_t>(d.encoded.size()) < p.length)
        return Refused(QStringLiteral("The ") + NameOf(p) + QStringLiteral(" runs past the end of the file"));
    QBuffer buffer(&d.encoded);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    // Four bytes a pixel at the pixel limit, and some room.
    reader.setAllocationLimit(static_cast<int>(kMaxPicturePixels * 4 / (1 << 20) + 16));
    const QSize size = reader.size();
    if (size.isValid())
        if (auto message = TooLarge(p, static_cast<std::uint64_t>(size.width()), static_cast<std::uint64_t>(size.height())))
            return Refused(*message);
    const QImage image = reader.read();
    if (image.isNull()) {
        QString why = reader.errorString();
        return Refused(QStringLiteral("The ") + NameOf(p) + QStringLiteral(" cannot be decoded: ") + why);
    }
    Finish(d, p, image);
    return d;
}

struct HeifDeleter {
    void operator()(heif_context* c) const { heif_context_free(c); }
    void operator()(heif_image_handle* h) const { heif_image_handle_release(h); }
    void operator()(heif_image* i) const { heif_image_release(i); }
};
template <class T>
using HeifPtr = std::unique_ptr<T, HeifDeleter>;

QString HeifMessage(const heif_error& e) { return QString::fromUtf8(e.message ? e.message : "unknown error"); }

// The handle of a top-level image, or of a thumbnail of one (whose alpha plane is reached through it).
heif_error HandleOf(heif_context* context, heif_item_id id, heif_image_handle** out) {
    const heif_error e = heif_context_get_image_handle(context, id, out);
    if (e.code == heif_error_Ok) return e;
    const int count = heif_context_get_number_of_top_level_images(context);
    std::vector<heif_item_id> images(static_cast<std::size_t>(std::max(count, 0)));
    heif_context_get_list_of_top_level_image_IDs(context, images.data(), count);
    for (const heif_item_id image : images) {
        heif_image_handle* raw = nullptr;
        if (heif_context_get_image_handle(context, image, &raw).code != heif_error_Ok) continue;
        const HeifPtr<heif_image_handle> top(raw);
        const int n = heif_image_handle_get_number_of_thumbnails(top.get());
        std::vector<heif_item_id> thumbnails(static_cast<std::size_t>(std::max(n, 0)));
        heif_image_handle_get_list_of_thumbnail_IDs(top.get(), thumbnails.data(), n);
        if (std::find(thumbnails.begin(), thumbnails.end(), id) != thumbnails.end())
            return heif_image_handle_get_thumbnail(top.get(), id, out);
    }
    return e;
}

DecodedPicture DecodeWithLibheif(const QString& path, const PictureSource& p) {
    const QString failed = QStringLiteral("The ") + NameOf(p) + QStringLiteral(" cannot be decoded: ");
    if (p.role == ItemRole::Input)
        return Refused(NameOf(p) + QStringLiteral(" is a part of derived image item %1: select that item to see the picture")
                           .arg(p.ownerId));
    HeifPtr<heif_context> context(heif_context_alloc());
    if (!context) return Refused(failed + QStringLiteral("out of memory"));
    heif_error e = heif_context_read_from_file(context.get(), QFile::encodeName(path).constData(), nullptr);
    if (e.code != heif_error_Ok) return Refused(failed + HeifMessage(e));
    heif_image_handle* raw = nullptr;
    if (p.role == ItemRole::Image) {
        e = HandleOf(context.get(), p.itemId, &raw);
    } else {
        heif_image_handle* owner = nullptr;
        e = HandleOf(context.get(), p.ownerId, &owner);
        const HeifPtr<heif_image_handle> ownerHandle(owner);
        if (e.code == heif_error_Ok)
            e = p.role == ItemRole::Thumbnail ? heif_image_handle_get_thumbnail(owner, p.itemId, &raw)
                                              : heif_image_handle_get_auxiliary_image_handle(owner, p.itemId, &raw);
    }
    const HeifPtr<heif_image_handle> handle(raw);
    if (e.code != heif_error_Ok || !handle) return Refused(failed + HeifMessage(e));
    const int w = heif_image_handle_get_width(handle.get()), h = heif_image_handle_get_height(handle.get());
    if (w <= 0 || h <= 0) return Refused(failed + QStringLiteral("it has no size"));
    if (auto message = TooLarge(p, static_cast<std::uint64_t>(w), static_cast<std::uint64_t>(h))) return Refused(*message);

    heif_image* decoded = nullptr;
    e = heif_decode_image(handle.get(), &decoded, heif_colorspace_RGB, heif_chroma_interleaved_RGBA, nullptr);
    bool gray = false;
    if (e.code != heif_error_Ok) {
        // An alpha or depth plane has one channel only.
        if (decoded) heif_image_release(decoded);
        decoded = nullptr;
        e = heif_decode_image(handle.get(), &decoded, heif_colorspace_monochrome, heif_chroma_monochrome, nullptr);
        gray = true;
    }
    HeifPtr<heif_image> image(decoded);
    if (e.code != heif_error_Ok || !image) return Refused(failed + HeifMessage(e));
    const heif_channel channel = gray ? heif_channel_Y : heif_channel_interleaved;
    int stride = 0;
    const std::uint8_t* plane = heif_image_get_plane_readonly(image.get(), channel, &stride);
    const int iw = heif_image_get_width(image.get(), channel), ih = heif_image_get_height(image.get(), channel);
    if (plane == nullptr || iw <= 0 || ih <= 0) return Refused(failed + QStringLiteral("libheif gave no pixels"));
    DecodedPicture d;
    // The QImage keeps libheif's pixels rather than a copy (400 MB at the pixel limit), and releases them when it goes.
    d.image = QImage(plane, iw, ih, stride, gray ? QImage::Format_Grayscale8 : QImage::Format_RGBA8888,
                     [](void* held) { heif_image_release(static_cast<heif_image*>(held)); }, image.get());
    if (d.image.isNull()) return Refused(failed + QStringLiteral("out of memory"));
    image.release();
    Finish(d, p, d.image);
    return d;
}

}  // namespace

DecodedPicture DecodePicture(const QString& path, const PictureSource& p) {
    if (p.length > kMaxPictureBytes)
        return Refused(NameOf(p) + QStringLiteral(" of ") + Count(p.length) +
                       QStringLiteral(" bytes: pictures over 64 MiB are not decoded"));
    return p.kind == PictureKind::HeifItem ? DecodeWithLibheif(path, p) : DecodeWithQt(path, p);
}

PictureView::PictureView(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("PictureView"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    Image = new QLabel(this);
    Image->setObjectName(QStringLiteral("PictureImage"));
    Image->setAlignment(Qt::AlignCenter);
    Image->setMinimumSize(1, 1);
    Image->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Ignored);
    Caption = new QLabel(this);
    Caption->setObjectName(QStringLiteral("PictureCaption"));
    Caption->setTextFormat(Qt::PlainText);
    Caption->setWordWrap(true);
    Caption->setAlignment(Qt::AlignCenter);
    Caption->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(Image, 1);
    layout->addWidget(Caption);
    hide();
}

PictureView::~PictureView() = default;

QString PictureView::CaptionText() const { return Caption->text(); }

void PictureView::ShowSource(const QString& path, const std::optional<PictureSource>& source) {
    if (path == path_ && source == source_) return;
    path_ = path;
    source_ = source;
    ++generation_;
    if (watcher_) {
        // Its result is for a selection gone: a decode not yet started never starts, one under way finishes unseen.
        watcher_->future().cancel();
        watcher_->disconnect(this);
        watcher_->deleteLater();
        watcher_ = nullptr;
    }
    picture_ = {};
    Image->clear();
    decoding_ = false;
    if (!source) {
        hide();
        emit changed();
        return;
    }
    decoding_ = true;
    Caption->setText(QStringLiteral("Decoding the ") + NameOf(*source) + QStringLiteral("..."));
    show();
    watcher_ = new QFutureWatcher<DecodedPicture>(this);
    const std::uint64_t generation = generation_;
    connect(watcher_, &QFutureWatcher<DecodedPicture>::finished, this, [this, generation] { Finished(generation); });
    watcher_->setFuture(QtConcurrent::run(DecodePicture, path, *source));
    emit changed();
}

void PictureView::Finished(std::uint64_t generation) {
    if (generation != generation_ || !watcher_) return;
    picture_ = watcher_->result();
    watcher_->deleteLater();
    watcher_ = nullptr;
    decoding_ = false;
    Caption->setText(picture_.caption);
    ShowPreview();
    emit changed();
}

void PictureView::ShowPreview() {
    if (picture_.preview.isNull()) {
        Image->clear();
        return;
    }
    const QSize room = Image->size();
    QImage shown = picture_.preview;
    // Scaled down to fit, never up: a small cover stays sharp.
    if (shown.width() > room.width() || shown.height() > room.height())
        shown = shown.scaled(room, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    Image->setPixmap(QPixmap::fromImage(shown));
}

void PictureView::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    ShowPreview();
}

QString PictureView::SuggestedSuffix() const {
    if (!source_ || SavesAsPng()) return QStringLiteral("png");
    switch (source_->kind) {
    case PictureKind::Jpeg: return QStringLiteral("jpg");
    case PictureKind::Bmp: return QStringLiteral("bmp");
    default: return QStringLiteral("png");
    }
}

bool PictureView::Save(const QString& path) const {
    if (!picture_.ok) return false;
    if (!picture_.encoded.isEmpty()) {
        QFile out(path);
        return out.open(QIODevice::WriteOnly | QIODevice::Truncate) && out.write(picture_.encoded) == picture_.encoded.size() &&
               out.flush();
    }
    return picture_.image.save(path, "PNG");
}

}  // namespace kestrova
