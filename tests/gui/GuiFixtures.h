#pragma once
// Helpers shared by the window tests: tiny MP4 files, pane contents and
// modal dialogs that a test inspects and closes.

#include <QApplication>
#include <QDialog>
#include <QStringList>
#include <QTimer>

#include <functional>
#include <string>
#include <vector>

#include "shell/qt/LinePane.h"
#include "support/BoxWriter.h"

namespace kestrova::test {

// ftyp, a moov with an mvhd and a trak holding a tkhd, and an mdat.
inline Bytes SampleMp4(const std::string& majorBrand = "isom") {
    return Cat({Box("ftyp", Cat({Text(majorBrand), U32(0x200), Text("isom"), Text("mp41")})),
                Box("moov", {FullBox("mvhd", 0, 0, Zeros(96)), Box("trak", {FullBox("tkhd", 0, 3, Zeros(80))})}),
                Box("mdat", Zeros(24))});
}

inline QStringList PaneLines(const LinePane* pane) {
    QStringList lines;
    for (std::int64_t i = 0; i < pane->LineCount(); ++i) lines << pane->LineText(i);
    return lines;
}

inline QStringList ToQt(const std::vector<std::string>& lines) {
    QStringList out;
    for (const auto& l : lines) out << QString::fromStdString(l);
    return out;
}

// Watches, from the moment it is made and as long as it lives, for a modal
// dialog (inside the modal loop that the caller starts next), hands the first
// one to inspect and closes it if inspect did not.
class ModalWatch {
public:
    explicit ModalWatch(std::function<void(QDialog*)> inspect) : inspect_(std::move(inspect)) {
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            if (dialog && dialog->isVisible()) {
                seen_ = true;
                timer_.stop();
                inspect_(dialog);
                if (dialog->isVisible()) dialog->reject();
            } else if (++tries_ > 300) {
                timer_.stop();
            }
        });
        timer_.start(10);
    }
    bool Seen() const { return seen_; }

private:
    std::function<void(QDialog*)> inspect_;
    QTimer timer_;
    bool seen_ = false;
    int tries_ = 0;
};

}  // namespace kestrova::test
