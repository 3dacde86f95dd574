// TAll: loading a picture by the kind of its extension, through Qt's readers or a plug-in
// library loaded for this one picture (see tall.h for the rules and picture_plugin.h for the
// plug-in interface).
#include "view/tall.h"

#include "view/picture_plugin.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QMessageBox>
#include <QPainter>
#include <QScreen>

#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <memory>

namespace pelorin {

namespace {

struct Kind {
    const char* plugin;  // file name of the plug-in
    const char* label;   // its name in messages
};

// Kinds 1-8, indexed by kind - 1.
constexpr Kind kKinds[] = {
    {"ifjpeg.spi", "JPG"},  {"ifgif.spi", "GIF"}, {"iftiff.spi", "TIFF"}, {"ifpic.spi", "PIC"},
    {"ifpic2.spi", "PIC2"}, {"ifmag.spi", "MAG"}, {"ifxld4.spi", "XLD4"}, {"ifpi.spi", "PI"},
};

QString ResultMessage(int code) {
    switch (code) {
        case 2:
            return QStringLiteral("未知のフォーマット");
        case 3:
            return QStringLiteral("データが壊れている");
        case 4:
            return QStringLiteral("メモリーが確保出来ない");
        case 5:
            return QStringLiteral("メモリーエラー");
        case 6:
            return QStringLiteral("ファイルリードエラー");
        default:
            return QStringLiteral("その他のエラー");
    }
}

// A plug-in library, unloaded when this goes.
class Library {
public:
    explicit Library(const QString& path)
        : handle_(dlopen(QFile::encodeName(path).constData(), RTLD_NOW | RTLD_LOCAL)) {}
    ~Library() {
        if (handle_)
            dlclose(handle_);
    }
    Library(const Library&) = delete;
    Library& operator=(const Library&) = delete;
    bool Loaded() const { return handle_ != nullptr; }
    template <typename F>
    F Entry(const char* name) const {
        return reinterpret_cast<F>(dlsym(handle_, name));
    }

private:
    void* handle_;
};

// The two blocks of GetPicture, freed with free() when this goes.
struct Blocks {
    void* info = nullptr;
    void* bits = nullptr;
    ~Blocks() {
        std::free(info);
        std::free(bits);
    }
    void Reset() {
        std::free(info);
        std::free(bits);
        info = bits = nullptr;
    }
};

// The longest form of the bitmap-information header.
constexpr uint32_t kLargestHeader = 124;

uint32_t U32(const unsigned char* p) {
    return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
}

uint16_t U16(const unsigned char* p) {
    return static_cast<uint16_t>(p[0] | p[1] << 8);
}

}  // namespace

QImage ImageFromBitmapBlocks(const void* info, const void* bits, bool palette, int* error) {
    *error = SPI_BROKEN_DATA;
    if (!info || !bits)
        return {};
    const auto* h = static_cast<const unsigned char*>(info);
    const uint32_t headerSize = U32(h);
    const int32_t width = static_cast<int32_t>(U32(h + 4));
    const int32_t rawHeight = static_cast<int32_t>(U32(h + 8));
    const int bitCount = U16(h + 14);
    const uint32_t compression = U32(h + 16);
    uint32_t clrUsed = U32(h + 32);
    // The header is 40 bytes, or one of its longer forms (at most 124); a larger size would
    // put the colour table outside the block.
    if (headerSize < 40 || headerSize > kLargestHeader || compression != 0 || width <= 0 ||
        rawHeight == 0 || rawHeight == INT32_MIN)
        return {};
    if (bitCount != 1 && bitCount != 4 && bitCount != 8 && bitCount != 24 && bitCount != 32)
        return {};
    const bool bottomUp = rawHeight > 0;
    const int32_t height = bottomUp ? rawHeight : -rawHeight;
    if (int64_t{width} * height > kMaxPixels) {
        *error = SPI_NO_MEMORY;
        return {};
    }
    // Only pictures of 8 bits or fewer use a table, of at most 2^bitCount entries; the count a
    // 24- or 32-bit header names is not read at all.
    const bool indexed = bitCount <= 8;
    QList<QRgb> table;
    if (indexed) {
        const uint32_t tableSize = 1u << bitCount;
        if (clrUsed == 0 || clrUsed > tableSize)
            clrUsed = tableSize;
        const unsigned char* colours = h + headerSize;
        for (uint32_t i = 0; i < clrUsed; ++i)
            table.append(qRgb(colours[4 * i + 2], colours[4 * i + 1], colours[4 * i]));
    }

    const size_t stride =
        ((static_cast<size_t>(width) * static_cast<size_t>(bitCount) + 31) / 32) * 4;
    const auto* pixels = static_cast<const unsigned char*>(bits);
    QImage image(width, height, indexed ? QImage::Format_Indexed8 : QImage::Format_RGB32);
    if (image.isNull()) {
        *error = SPI_NO_MEMORY;
        return {};
    }
    if (indexed)
        image.setColorTable(table);
    for (int32_t y = 0; y < height; ++y) {
        const unsigned char* row =
            pixels + stride * static_cast<size_t>(bottomUp ? height - 1 - y : y);
        uchar* out = image.scanLine(y);
        for (int32_t x = 0; x < width; ++x) {
            if (indexed) {
                const int perByte = 8 / bitCount;
                const int shift = 8 - bitCount * (x % perByte + 1);
                int index = (row[x / perByte] >> shift) & ((1 << bitCount) - 1);
                // An index past the colour table shows as its first colour.
                if (index >= table.size())
                    index = 0;
                out[x] = static_cast<uchar>(index);
            } else {
                const unsigned char* p = row + static_cast<size_t>(x) * (bitCount / 8);
                reinterpret_cast<QRgb*>(out)[x] = qRgb(p[2], p[1], p[0]);
            }
        }
    }
    *error = 0;
    if (indexed && !palette)
        return image.convertToFormat(QImage::Format_RGB32);
    return image;
}

TAll::TAll(QWidget* parent)
    : QWidget(parent) {
    OnMessage = [this](const QString& text) { QMessageBox::information(this, QString(), text); };
}

TAll::~TAll() = default;

int TAll::KindOf(const QString& name) {
    const QString suffix = QFileInfo(name).suffix().toUpper();
    if (suffix.isEmpty() && !name.endsWith(QLatin1Char('.')))
        return -1;
    const QString ext = QLatin1Char('.') + suffix;
    static const char* const kQt[] = {".BMP", ".ICO", ".WMF", ".EMF"};
    for (const char* e : kQt)
        if (ext == QLatin1String(e))
            return 0;
    // Mail carries PNG (and now WEBP and SVG) pictures: Qt reads them when it has the reader.
    static const char* const kModern[] = {".PNG", ".WEBP", ".SVG"};
    for (const char* e : kModern) {
        if (ext == QLatin1String(e) &&
            QImageReader::supportedImageFormats().contains(QByteArray(e + 1).toLower()))
            return 0;
    }
    static const struct {
        const char* ext;
        int kind;
    } kPlugins[] = {{".JPG", 1}, {".JPE", 1}, {".GIF", 2}, {".TIF", 3}, {".PIC", 4},
                    {".P2", 5},  {".MAG", 6}, {".Q4", 7},  {".PI", 8}};
    for (const auto& p : kPlugins)
        if (ext == QLatin1String(p.ext))
            return p.kind;
    return -1;
}

void TAll::SetPictureName(const QString& name) {
    pictureName_ = name;
    Load();
}

void TAll::SetPreView(bool on) {
    preView_ = on;
    if (!pictureName_.isEmpty())
        Load();
}

void TAll::SetAutoSize(bool on) {
    autoSize_ = on;
    if (autoSize_ && !stretch_ && !picture_.isNull())
        resize(picture_.size());
}

void TAll::SetStretch(bool on) {
    stretch_ = on;
    update();
}

int TAll::ScreenDepth() const {
    if (forcedDepth_ > 0)
        return forcedDepth_;
    const QScreen* s = screen();
    return s ? s->depth() : 32;
}

void TAll::Fail(int error, const QString& message) {
    error_ = error;
    const QString name = pictureName_;
    pictureName_.clear();
    if (OnMessage)
        OnMessage(QStringLiteral("%1 [%2]").arg(message, name));
}

void TAll::SetPicture(const QImage& image) {
    picture_ = image;
    if (autoSize_ && !stretch_ && !picture_.isNull())
        resize(picture_.size());
    update();
}

void TAll::Load() {
    error_ = 0;
    SetPicture(QImage());
    if (pictureName_.isEmpty())
        return;
    const int kind = KindOf(pictureName_);
    if (kind < 0) {
        preView_ = false;
        orgWidth_ = orgHeight_ = 0;
        Fail(10, QStringLiteral("サポートされない拡張子"));
        return;
    }
    if (kind == 0) {
        if (LoadWithQt()) {
            preView_ = false;
            orgWidth_ = orgHeight_ = 0;
        }
        return;
    }
    LoadWithPlugin(kind);
}

bool TAll::LoadWithQt() {
    if (!QFileInfo(pictureName_).isFile()) {
        Fail(SPI_READ_ERROR, ResultMessage(SPI_READ_ERROR));
        return false;
    }
    QImageReader reader(pictureName_);
    reader.setDecideFormatFromContent(true);
    // A file whose start a reader knows but whose pixels fail is broken (cut off, say).
    const bool known = reader.canRead();
    const QSize size = reader.size();
    if (size.isValid() && int64_t{size.width()} * size.height() > kMaxPixels) {
        Fail(SPI_NO_MEMORY, ResultMessage(SPI_NO_MEMORY));
        return false;
    }
    QImage image;
    if (!reader.read(&image)) {
        if (reader.error() == QImageReader::FileNotFoundError ||
            reader.error() == QImageReader::DeviceError)
            Fail(SPI_READ_ERROR, ResultMessage(SPI_READ_ERROR));
        else if (known)
            Fail(3, ResultMessage(3));
        else
            Fail(2, QStringLiteral("未知のフォーマット"));
        return false;
    }
    SetPicture(image);
    return true;
}

bool TAll::LoadWithPlugin(int kind) {
    const Kind& k = kKinds[kind - 1];
    if (kind != 1) {
        preView_ = false;
        orgWidth_ = orgHeight_ = 0;
    }
    QString path;
    for (const QString& dir : pluginDirs_) {
        const QString candidate = QDir(dir).filePath(QLatin1String(k.plugin));
        if (QFileInfo(candidate).isFile()) {
            path = candidate;
            break;
        }
    }
    std::unique_ptr<Library> library;
    if (!path.isEmpty())
        library = std::make_unique<Library>(path);
    if (!library || !library->Loaded()) {
        Fail(20, QStringLiteral("IF%1.SPI not found").arg(QLatin1String(k.label)));
        return false;
    }
    const QByteArray file = QFile::encodeName(pictureName_);
    const bool wantsInfo = kind == 1 || kind == 4 || kind == 5;
    const auto getInfo = library->Entry<SpiGetPictureInfo>("GetPictureInfo");
    const auto getPicture = library->Entry<SpiGetPicture>("GetPicture");
    const auto getPreview = library->Entry<SpiGetPicture>("GetPreview");
    const char* missing = nullptr;
    if (!getPicture)
        missing = "GetPicture";
    else if (wantsInfo && !getInfo)
        missing = "GetPictureInfo";
    else if (wantsInfo && !getPreview)
        missing = "GetPreview";
    if (missing) {
        Fail(21, QStringLiteral("%1: %2 がありません")
                     .arg(QLatin1String(k.plugin), QLatin1String(missing)));
        return false;
    }

    Blocks blocks;
    int result = 0;
    long offset = 0;
    const bool palette = ScreenDepth() == 8;
    QImage image;
    if (kind == 1) {
        SpiPictureInfo info{};
        result = getInfo(file.constData(), 0, 0, &info);
        if (result != 0) {
            std::free(info.info);
            info = SpiPictureInfo{};
            offset = 128;
            result = getInfo(file.constData(), offset, 0, &info);
        }
        std::free(info.info);
        if (result == 0 && (info.width <= 0 || info.height <= 0))
            result = SPI_BROKEN_DATA;
        if (result == 0 && int64_t{info.width} * info.height > kMaxPixels)
            result = SPI_NO_MEMORY;
        if (result != 0) {
            Fail(result, ResultMessage(result));
            return false;
        }
        orgWidth_ = info.width;
        orgHeight_ = info.height;
        const QSize size = preView_ ? QSize((info.width + 3) / 4, (info.height + 3) / 4)
                                    : QSize(info.width, info.height);
        result = (preView_ ? getPreview : getPicture)(file.constData(), offset, 0, &blocks.info,
                                                      &blocks.bits, nullptr, 0);
        if (result == 0) {
            const QImage decoded = ImageFromBitmapBlocks(blocks.info, blocks.bits, false, &result);
            if (result == 0) {
                // The rows land in a bitmap of the announced size.
                image = QImage(size, QImage::Format_RGB32);
                image.fill(Qt::white);
                QPainter painter(&image);
                painter.drawImage(0, 0, decoded);
            }
        }
    } else {
        result = getPicture(file.constData(), 0, 0, &blocks.info, &blocks.bits, nullptr, 0);
        if (result == SPI_UNKNOWN_FORMAT) {
            blocks.Reset();
            result = getPicture(file.constData(), 128, 0, &blocks.info, &blocks.bits, nullptr, 0);
        }
        if (result == 0)
            image = ImageFromBitmapBlocks(blocks.info, blocks.bits, palette, &result);
        if (result == 0 && (kind == 4 || kind == 5)) {
            SpiPictureInfo info{};
            if (getInfo(file.constData(), 0, 0, &info) == 0 && info.hDensity > 0 &&
                info.vDensity > 0 && (info.hDensity != 1 || info.vDensity != 1)) {
                // Pixels that are not square: stretch to the shape the picture was drawn in.
                // The sides are checked before they become ints: a density of up to 65535
                // could stretch a side past INT_MAX.
                int64_t width = image.width(), height = image.height();
                if (info.hDensity < info.vDensity)
                    width = width * info.vDensity / info.hDensity;
                else
                    height = height * info.hDensity / info.vDensity;
                if (width > kMaxPixels || height > kMaxPixels || width * height > kMaxPixels)
                    result = SPI_NO_MEMORY;
                else  // an indexed picture keeps its colour table
                    image = image.scaled(static_cast<int>(width), static_cast<int>(height));
            }
            std::free(info.info);
        }
    }
    if (result != 0) {
        Fail(result, ResultMessage(result));
        return false;
    }
    SetPicture(image);
    return true;
}

void TAll::paintEvent(QPaintEvent*) {
    if (picture_.isNull())
        return;
    QPainter painter(this);
    if (stretch_)
        painter.drawImage(rect(), picture_);
    else
        painter.drawImage(0, 0, picture_);
}

}  // namespace pelorin
