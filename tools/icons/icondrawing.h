#pragma once
// The program's pictures, drawn from code so that every file under Resource/ can be made again: 24 x 24 tool icons
// with a grey twin for the disabled state, the reference tile strips of the tile measurement, the splash picture,
// the application icon and the QR picture the chart views print.

#include <QByteArray>
#include <QImage>
#include <QString>
#include <QStringList>

namespace IconDrawing {

constexpr int kIconSize = 24;
// Modules of the QR picture: pixels per module and the quiet zone around the symbol.
constexpr int kQrModulePixels = 7;
constexpr int kQrQuietModules = 4;
// The tile strip pictures: labels, no disabled twin.
constexpr int kTilePictureWidth = 430;
constexpr int kTilePictureHeight = 300;
// The splash picture, also the About dialog's picture; the program draws its version and notice labels over the
// lower right part.
constexpr int kSplashWidth = 512;
constexpr int kSplashHeight = 316;

// Every tool icon, in the order of the resource list; each gives "<name>.png" and its grey twin.
QStringList IconNames();
// The file name, without ".png", of the icon's disabled twin: "<name>_g", except "mes_g" for "mes_t".
QString GreyName(const QString &name);
// The icon of that name (kIconSize square, ARGB32); a null image for an unknown name.
QImage DrawIcon(const QString &name);
// The disabled-state twin: the same drawing desaturated and lightened, alpha kept.
QImage GreyVariant(const QImage &icon);
// The strip pictures, "tile1" (tiles 0 to 6) and "tile2" (tiles 7 to 13); each gives "<name>.png".
QStringList TilePictureNames();
// The strip of that name (kTilePictureWidth x kTilePictureHeight, opaque ARGB32); a null image for an unknown name.
QImage DrawTilePicture(const QString &name);
// The splash picture (kSplashWidth x kSplashHeight, opaque ARGB32): the program name, no version text.
QImage DrawSplash();
// The application icon at one size (ARGB32, size x size).
QImage DrawAppIcon(int size);
// The sizes Varemo.ico holds.
QList<int> AppIconSizes();
// The QR symbol of the text as 8-bit grey (0 dark, 255 light) with the quiet zone; null when it cannot be encoded.
QImage DrawQrSymbol(const QByteArray &text);

QString SplashFileName();     // "splash.png"
QString AppIconFileName();    // "Varemo.ico"
QString BarcodeFileName();    // "barcode_image.tiff"
QString ResourceListName();   // "Resource.qrc"
QByteArray BarcodeText();     // "VAREMO"

// Every file name WriteAll writes, the resource list last.
QStringList OutputFileNames();
// Writes every icon, the strip pictures, the splash picture, the application icon, the QR picture and the resource
// list into the existing folder and returns their names; an empty list (and the error text) when a file could not
// be written.
QStringList WriteAll(const QString &folder, QString *error);

} // namespace IconDrawing
