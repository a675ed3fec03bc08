#include "sim/push_events.h"

#include "catalogue/builtin_interfaces.h"
#include "sim/event_pictures.h"

namespace {

QByteArray Element(const char* name, const char* type, const QByteArray& value) {
    return QByteArray("<") + name + " type=\"" + type + "\">" + value + "</" + name + ">";
}

QByteArray Number(qint64 value) {
    return QByteArray::number(value);
}

// <ImageData> of a face-match picture, indented by depth tabs.
QByteArray ImageData(const QByteArray& base64, int width, int height, const QByteArray& indent) {
    return indent + "<ImageData>\n" + indent + "\t" + Element("width", "uint32", Number(width)) +
           "\n" + indent + "\t" + Element("height", "uint32", Number(height)) + "\n" + indent +
           "\t" + Element("Base64Data", "string", base64) + "\n" + indent + "</ImageData>\n";
}

const char* const kPersonNames[] = {"张伟", "王芳", "李娜", "Ольга", "José"};

}  // namespace

QByteArray PushMessage(const QByteArray& body) {
    return "POST /SendAlarmStatus HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Length: " +
           Number(body.size()) +
           "\r\nContent-Type: application/xml; charset=UTF-8\r\nConnection: keep-alive\r\n\r\n" +
           body;
}

PushedEvent BuildPushedEvent(const SimulatorOptions& options, const QString& smartType,
                             int sequence, const QDateTime& now) {
    PushedEvent event;
    event.sequence = sequence;
    event.smartType = smartType;

    const int frameW = qMax(16, options.pictureWidth);
    const int frameH = qMax(16, options.pictureHeight);
    const int face = qMax(16, frameH / 2);
    const auto draw = [&](const QString& kind, int w, int h) {
        PictureContent content;
        content.kind = kind;
        content.smartType = smartType;
        content.sequence = sequence;
        content.width = w;
        content.height = h;
        content.padToBytes = options.pictureBytes;
        content.time = now;
        event.pictures.append({kind, DrawEventPicture(content)});
        return Base64Text(event.pictures.last().jpeg, options.base64LineBreaks);
    };

    QByteArray b = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<config version=\"1.0\" xmlns=\"";
    b += kDeviceNamespace;
    b += "\">\n\t" + Element("smartType", "string", smartType.toUtf8()) + "\n\t" +
         Element("currentTime", "tint64", Number(now.toMSecsSinceEpoch() * 1000)) + "\n";
    if (smartType == QLatin1String(kFaceMatchType)) {
        b += "\t<snapData>\n\t\t" + Element("faceId", "uint32", Number(sequence)) + "\n" +
             ImageData(draw("snap", face, face), face, face, "\t\t") + "\t</snapData>\n";
        const QByteArray name = kPersonNames[sequence % std::size(kPersonNames)];
        b += "\t<albumData>\n\t\t" + Element("personName", "string", "<![CDATA[" + name + "]]>") +
             "\n\t\t" + Element("similarity", "uint32", Number(80 + sequence % 20)) + "\n" +
             ImageData(draw("album", face, face), face, face, "\t\t") + "\t</albumData>\n";
        b += "\t<sourceData>\n" + ImageData(draw("src", frameW, frameH), frameW, frameH, "\t\t") +
             "\t</sourceData>\n";
    } else {
        const QByteArray source = draw("src", frameW, frameH);
        b += "\t<sourceDataInfo>\n\t\t" + Element("dataType", "uint32", "0") + "\n\t\t" +
             Element("width", "uint32", Number(frameW)) + "\n\t\t" +
             Element("height", "uint32", Number(frameH)) + "\n\t\t" +
             Element("sourceBase64Length", "uint32", Number(source.size())) + "\n\t\t" +
             Element("sourceBase64Data", "string", source) + "\n\t</sourceDataInfo>\n";
        const int targets = qMax(0, options.targetCount);
        b += "\t<listInfo type=\"list\" count=\"" + Number(targets) + "\">\n";
        for (int i = 1; i <= targets; ++i) {
            const QByteArray target = draw("target" + QString::number(i), face, face);
            b += "\t\t<item>\n\t\t\t" + Element("targetId", "uint32", Number(i)) +
                 "\n\t\t\t<targetImageData>\n\t\t\t\t" + Element("dataType", "uint32", "0") +
                 "\n\t\t\t\t" + Element("targetBase64Length", "uint32", Number(target.size())) +
                 "\n\t\t\t\t" + Element("targetBase64Data", "string", target) +
                 "\n\t\t\t</targetImageData>\n\t\t</item>\n";
        }
        b += "\t</listInfo>\n";
    }
    b += "</config>\n";
    event.body = b;
    event.message = PushMessage(b);
    return event;
}

QList<QByteArray> CutIntoWrites(const QList<QByteArray>& messages, SimWriteMode mode,
                                int pieceBytes) {
    QList<QByteArray> writes;
    switch (mode) {
        case SimWriteMode::Whole:
            return messages;
        case SimWriteMode::Pieces: {
            const int size = qMax(1, pieceBytes);
            for (const QByteArray& m : messages) {
                for (qsizetype at = 0; at < m.size(); at += size)
                    writes.append(m.mid(at, size));
            }
            return writes;
        }
        case SimWriteMode::Pairs:
            for (qsizetype i = 0; i < messages.size(); i += 2) {
                writes.append(i + 1 < messages.size() ? messages[i] + messages[i + 1]
                                                      : messages[i]);
            }
            return writes;
    }
    return messages;
}
