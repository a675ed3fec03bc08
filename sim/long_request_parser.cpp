#include "sim/long_request_parser.h"

#include <QList>

LongRequestParser::State LongRequestParser::next(LongRequest* request) {
    if (broken_)
        return State::Malformed;
    // Empty lines before a request line are tolerated.
    qsizetype start = 0;
    while (start < buffer_.size() && (buffer_[start] == '\r' || buffer_[start] == '\n'))
        ++start;
    if (start > 0)
        buffer_.remove(0, start);

    // The head ends at the first empty line.
    qsizetype headEnd = -1;
    qsizetype bodyStart = -1;
    for (qsizetype i = buffer_.indexOf('\n'); i >= 0; i = buffer_.indexOf('\n', i + 1)) {
        qsizetype j = i + 1;
        if (j < buffer_.size() && buffer_[j] == '\r')
            ++j;
        if (j < buffer_.size() && buffer_[j] == '\n') {
            headEnd = i;
            bodyStart = j + 1;
            break;
        }
        if (j >= buffer_.size())
            break;
    }
    if (headEnd < 0) {
        if (buffer_.size() > kSimMaxRequestHeadBytes)
            broken_ = true;
        return broken_ ? State::Malformed : State::NeedMore;
    }
    if (headEnd > kSimMaxRequestHeadBytes) {
        broken_ = true;
        return State::Malformed;
    }

    LongRequest r;
    const QList<QByteArray> lines = buffer_.left(headEnd).split('\n');
    const QList<QByteArray> requestLine = lines[0].trimmed().simplified().split(' ');
    if (requestLine.size() != 3 || !requestLine[2].startsWith("HTTP/")) {
        broken_ = true;
        return State::Malformed;
    }
    r.method = requestLine[0];
    r.target = requestLine[1];
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const qsizetype colon = lines[i].indexOf(':');
        if (colon <= 0)
            continue;
        r.headers.insert(lines[i].left(colon).trimmed().toLower(),
                         lines[i].mid(colon + 1).trimmed());
    }
    qint64 length = 0;
    if (r.headers.contains("content-length")) {
        bool ok = false;
        length = r.headers.value("content-length").toLongLong(&ok);
        if (!ok || length < 0 || length > kSimMaxRequestBodyBytes) {
            broken_ = true;
            return State::Malformed;
        }
    }
    if (buffer_.size() - bodyStart < length)
        return State::NeedMore;
    r.body = buffer_.mid(bodyStart, length);
    buffer_.remove(0, bodyStart + length);
    *request = std::move(r);
    return State::Ready;
}
