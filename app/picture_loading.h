#pragma once

#include <QImage>
#include <QSize>
#include <QString>
#include <string>
#include <vector>

// Where the bytes of one picture of an event come from for display.
struct PictureSource {
    std::string kind;      // "snap", "album", "src", "target"
    int number = 0;        // its picture number; 0 unknown
    std::string filePath;  // the file it was filed as; "" when none (a log read again)
    std::string base64;    // its text in the message, decoded when the file is not there
};

// A picture decoded for display.
struct LoadedPicture {
    QImage image;      // null when the bytes are no image
    QSize fullSize;    // the image's own size; invalid when no image
    qint64 bytes = 0;  // the picture's bytes
    QString name;      // "snap id5"
    QString problem;   // why there is no image, or where it came from when not its file
    QString filePath;  // the file shown; empty when decoded from the message
};

// The pictures' file names as the archive makes them: the filed path whose name ends in
// "_<kind>_id<number>.jpg" for each source, from `filed` (paths of the row's pictures).
void MatchFiledPaths(std::vector<PictureSource>& sources, const std::vector<std::string>& filed);

// Decodes one picture, scaled down with the decoder's own scaling to fit `box` (an invalid
// box: full size). Reads the file when it is there, else decodes the Base64 text. Never
// throws; a picture that is no image gives a null image and a problem naming its size and
// first bytes. Any thread.
LoadedPicture LoadPicture(const PictureSource& source, QSize box);

// "snap id5", or "snap" when the number is unknown.
QString PictureName(const std::string& kind, int number);
