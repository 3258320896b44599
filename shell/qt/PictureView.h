#pragma once
// The picture of the selected box, under its description: a cover's JPEG, PNG
// or BMP (decoded by Qt) or an HEIF/AVIF image item (decoded by libheif). It is
// decoded on a worker thread; the result of an earlier selection is dropped.

#include <QByteArray>
#include <QImage>
#include <QString>
#include <QWidget>

#include <cstdint>
#include <optional>

#include "shell/Picture.h"

class QLabel;
template <typename T>
class QFutureWatcher;

namespace kestrova {

struct DecodedPicture {
    QImage image;       // the whole picture; kept only for an item, which is saved as PNG
    QImage preview;     // what the window shows, at most kPreviewSide on a side
    QByteArray encoded; // a JPEG, PNG or BMP as the file holds it
    QString caption;    // what it is, or why it is not shown
    bool ok = false;
};

// Decodes the picture at source in the file at path; never throws, and refuses
// what is past kMaxPictureBytes or kMaxPicturePixels before decoding it.
DecodedPicture DecodePicture(const QString& path, const PictureSource& source);

class PictureView : public QWidget {
    Q_OBJECT

public:
    explicit PictureView(QWidget* parent = nullptr);
    ~PictureView() override;

    // Shows the picture of a selection (hidden when none); the same picture of
    // the same file is not decoded again.
    void ShowSource(const QString& path, const std::optional<PictureSource>& source);
    bool Decoding() const { return decoding_; }
    // A decoded picture is on show.
    bool HasPicture() const { return picture_.ok; }
    const DecodedPicture& Picture() const { return picture_; }
    QString CaptionText() const;
    // What Save Picture As writes: the encoded bytes of a JPEG, PNG or BMP, an item decoded as PNG.
    bool SavesAsPng() const { return picture_.encoded.isEmpty(); }
    QString SuggestedSuffix() const;
    bool Save(const QString& path) const;

    QLabel* Image = nullptr;
    QLabel* Caption = nullptr;

signals:
    // A picture came, went or failed.
    void changed();

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void Finished(std::uint64_t generation);
    void ShowPreview();

    QString path_;
    std::optional<PictureSource> source_;
    DecodedPicture picture_;
    QFutureWatcher<DecodedPicture>* watcher_ = nullptr;
    std::uint64_t generation_ = 0;
    bool decoding_ = false;
};

}  // namespace kestrova
