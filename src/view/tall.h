// TAll: the picture control of the message pane. It shows one picture file by name.
//
// The loader is chosen by the upper-cased extension of PictureName:
//   kind 0  ".BMP" ".ICO" ".WMF" ".EMF", and ".PNG" ".WEBP" ".SVG" when Qt has a reader for
//           them: Qt's image readers (QImageReader);
//   kind 1  ".JPG" ".JPE" ifjpeg.spi (label JPG)     kind 5  ".P2"  ifpic2.spi (PIC2)
//   kind 2  ".GIF"        ifgif.spi  (GIF)           kind 6  ".MAG" ifmag.spi  (MAG)
//   kind 3  ".TIF"        iftiff.spi (TIFF)          kind 7  ".Q4"  ifxld4.spi (XLD4)
//   kind 4  ".PIC"        ifpic.spi  (PIC)           kind 8  ".PI"  ifpi.spi   (PI)
// anything else (".JPEG" and ".TIFF" included) is unsupported.
//
// A plug-in (picture_plugin.h) is looked up by its file name in each folder of PluginDirs in
// turn, loaded for one picture and unloaded when that picture has loaded or failed; nothing of
// it is kept. A plug-in that lacks an entry point it is asked for fails the load with a message
// and is never called.
//
// JPEG: GetPictureInfo at offset 0, else at offset 128 (files behind a 128-byte prefix); then
// GetPicture, or with PreView GetPreview into a bitmap of a quarter of each side (rounded up).
// Other plug-in kinds: GetPicture at offset 0, at offset 128 when the first answer is 2
// (unknown format); PIC and PIC2 are stretched when their pixels are not square.
// Pictures of 8 bits or fewer keep their colour table as an indexed image when the screen has
// 8 bits per pixel (never on today's screens: TESTING_ONLY_SetScreenDepth forces it);
// otherwise they become 32-bit pictures.
//
// Error: 0 success, 2 unknown format (no reader of Qt knows the file), 3 broken data (a reader
// knows its start but not its pixels: a cut-off file), 10 unsupported
// extension, 20 plug-in not found, 21 plug-in without an entry point it is asked for, any other
// value the plug-in's result (4: too large, also when a picture exceeds kMaxPixels).
// Every failure shows its message as "%s [%s]" (message, path) through OnMessage, leaves
// Error set and PictureName empty.
//
// Bad input: a missing or unreadable file gives "ファイルリードエラー" (6); a corrupt picture
// gives the reader's or plug-in's code; a picture larger than kMaxPixels is refused with
// "メモリーが確保出来ない" (4) before its pixels are decoded; a bitmap block the control cannot read
// (unknown bit count, compression, zero size) counts as broken data (3).
#pragma once

#include "view/picture_plugin.h"

#include <QImage>
#include <QString>
#include <QStringList>
#include <QWidget>

#include <cstdint>
#include <functional>

namespace pelorin {

// Largest picture decoded: 64 megapixels (256 MiB at 32 bits per pixel), the plug-ins' limit.
inline constexpr int64_t kMaxPixels = SPI_MAX_PIXELS;

// A picture from a plug-in's two blocks. `palette`: keep 8 bits or fewer as an indexed image
// with the header's colour table (clrUsed entries, else 256, 16 or 2). Returns a null image
// and sets *error (3 broken data, 4 too large) when the header cannot be read.
QImage ImageFromBitmapBlocks(const void* info, const void* bits, bool palette, int* error);

class TAll : public QWidget {
    Q_OBJECT

public:
    explicit TAll(QWidget* parent = nullptr);
    ~TAll() override;

    const QString& PictureName() const { return pictureName_; }
    // Loads the picture at once (an empty name clears it).
    void SetPictureName(const QString& name);
    bool PreView() const { return preView_; }
    // Stores the switch and loads the current picture again.
    void SetPreView(bool on);
    int OrgWidth() const { return orgWidth_; }
    int OrgHeight() const { return orgHeight_; }
    bool AutoSize() const { return autoSize_; }
    void SetAutoSize(bool on);
    bool Stretch() const { return stretch_; }
    void SetStretch(bool on);
    int Error() const { return error_; }
    // The picture shown (null when none).
    const QImage& Picture() const { return picture_; }

    // Folders searched for plug-ins, in order.
    void SetPluginDirs(const QStringList& dirs) { pluginDirs_ = dirs; }
    const QStringList& PluginDirs() const { return pluginDirs_; }

    // Shows each message ("%s [%s]" already formatted); a plain message box by default.
    std::function<void(const QString&)> OnMessage;

    // The loader kind of a file name (0-8), or -1 when its extension is unsupported.
    static int KindOf(const QString& name);

    // Tests only: the screen depth the palette rule sees (0: the real screen's).
    void TESTING_ONLY_SetScreenDepth(int depth) { forcedDepth_ = depth; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void Load();
    bool LoadWithQt();
    bool LoadWithPlugin(int kind);
    void Fail(int error, const QString& message);
    void SetPicture(const QImage& image);
    int ScreenDepth() const;

    QString pictureName_;
    bool preView_ = false;
    int orgWidth_ = 0;  // JPEG only: the plug-in's size of the picture
    int orgHeight_ = 0;
    bool autoSize_ = true;
    bool stretch_ = false;
    int error_ = 0;
    QImage picture_;
    QStringList pluginDirs_;
    int forcedDepth_ = 0;
};

}  // namespace pelorin
