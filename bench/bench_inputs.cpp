#include "bench/bench_inputs.h"

#include <random>

#include "codec/base64.h"

std::string RandomBytes(std::size_t size, unsigned seed) {
    std::mt19937 rng(seed);
    std::string bytes(size, '\0');
    for (char& c : bytes) {
        c = static_cast<char>(rng() & 0xFF);
    }
    return bytes;
}

std::string Base64Text(const std::string& bytes) {
    return CBase64().Encode(bytes);
}

std::string Base64Lines(const std::string& bytes) {
    return CBase64(76).Encode(bytes);
}

namespace {

std::string Picture(const char* wrapper, std::size_t size, unsigned seed) {
    return std::string("\t<") + wrapper +
           ">\n\t\t<ImageData>\n\t\t\t<imageWidth>1920</imageWidth>\n"
           "\t\t\t<imageHeight>1080</imageHeight>\n"
           "\t\t\t<Base64Data type=\"string\">" +
           Base64Text(RandomBytes(size, seed)) + "</Base64Data>\n\t\t</ImageData>\n\t</" + wrapper +
           ">\n";
}

}  // namespace

std::string FaceMatchBody(std::size_t pictureBytes) {
    std::string body =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<config version=\"1.7\" xmlns=\"http://www.ipc.com/ver10\">\n"
        "\t<smartType type=\"openAlramObj\">VFD_MATCH</smartType>\n"
        "\t<subscribeOption type=\"subscribeOption\">FEATURE_RESULT</subscribeOption>\n"
        "\t<currentTime type=\"tint64\">1733472000123456</currentTime>\n"
        "\t<deviceName type=\"string\"><![CDATA[Gate 3 &amp; lobby]]></deviceName>\n"
        "\t<listInfo type=\"list\" count=\"1\">\n"
        "\t\t<item>\n\t\t\t<FaceId type=\"uint32\">77</FaceId>\n"
        "\t\t\t<Similarity type=\"uint32\">93</Similarity>\n"
        "\t\t\t<Name type=\"string\"><![CDATA[Visitor &lt;17&gt;]]></Name>\n"
        "\t\t\t<Rect x1=\"412\" y1=\"198\" x2=\"611\" y2=\"455\"/>\n\t\t</item>\n"
        "\t</listInfo>\n";
    body += Picture("snapData", pictureBytes, 1);
    body += Picture("albumData", pictureBytes, 2);
    body += Picture("sourceData", pictureBytes, 3);
    body += "</config>\n";
    return body;
}

std::string DenseMarkup(std::size_t bytes) {
    std::string doc =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<config version=\"1.7\">\n"
        "<channelList type=\"list\">\n";
    for (int n = 0; doc.size() < bytes; ++n) {
        const std::string id = std::to_string(n);
        doc += "<item id=\"" + id + "\" type=\"channel\" enabled='true'>\n";
        doc += " <name type=\"string\" maxLen=\"64\"><![CDATA[Camera " + id + "]]></name>\n";
        doc += " <stream kind=\"main\" codec=\"h265\" w=\"1920\" h=\"1080\" fps=\"25\"/>\n";
        doc += " <stream kind=\"sub\" codec=\"h264\" w=\"704\" h=\"576\" fps=\"15\"/>\n";
        doc += " <osd><text pos=\"0 0\">Gate &amp; " + id + "</text><date on=\"1\"/></osd>\n";
        doc += " <motion sens=\"" + std::to_string(n % 9) + "\"><area r='1' c='2'/></motion>\n";
        doc += "</item>\n";
    }
    doc += "</channelList>\n</config>\n";
    return doc;
}

std::string EventMessage(const std::string& body) {
    return "POST /SendAlarmStatus HTTP/1.1\r\nHost: 127.0.0.1:8080\r\nContent-Length: " +
           std::to_string(body.size()) +
           "\r\nContent-Type: application/xml; charset=\"UTF-8\"\r\nConnection: keep-alive\r\n"
           "\r\n" +
           body;
}
