// The XML document and the Base64 decoder against their baselines: pugixml's load_buffer for
// the parse, OpenSSL's EVP_DecodeBlock for Base64, and the unbroken text for the broken one.

#include <benchmark/benchmark.h>
#include <openssl/evp.h>

#include <cstdio>
#include <pugixml.hpp>
#include <string>
#include <vector>

#include "bench/bench_inputs.h"
#include "bench/goal_report.h"
#include "codec/base64.h"
#include "codec/xml_document.h"

namespace {

constexpr std::size_t kPictureBytes = 300 * 1024;  // three of them: a 1.2 MB body
constexpr std::size_t kBase64Bytes = 768 * 1024;   // 1 MiB of Base64 text

const std::string& FaceBody() {
    static const std::string body = FaceMatchBody(kPictureBytes);
    return body;
}

const std::string& DenseBody() {
    static const std::string body = DenseMarkup(1000 * 1000);
    return body;
}

const std::string& PictureBytes() {
    static const std::string bytes = RandomBytes(kBase64Bytes, 7);
    return bytes;
}

const std::string& UnbrokenText() {
    static const std::string text = Base64Text(PictureBytes());
    return text;
}

const std::string& BrokenText() {
    static const std::string text = Base64Lines(PictureBytes());
    return text;
}

// The event decoder's walk over a parsed body: config, smartType, then the three pictures.
std::size_t DecoderWalk(const std::string& body) {
    CXmlDocument doc(body.data(), static_cast<int>(body.size()));
    std::size_t bytes = 0;
    if (!doc.FindElem("config")) {
        return bytes;
    }
    doc.IntoElem();
    if (doc.FindElem("smartType")) {
        bytes += doc.GetData().size();
    }
    for (const char* wrapper : {"snapData", "albumData", "sourceData"}) {
        if (!doc.FindElem(wrapper)) {
            continue;
        }
        doc.IntoElem();
        if (doc.FindElem("ImageData")) {
            doc.IntoElem();
            if (doc.FindElem("Base64Data")) {
                bytes += doc.GetData().size();
            }
            doc.OutOfElem();
        }
        doc.OutOfElem();
    }
    return bytes;
}

void Parse(benchmark::State& state, const std::string& body) {
    for (auto _ : state) {
        benchmark::DoNotOptimize(DecoderWalk(body));
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * body.size()));
}

void ParseBaseline(benchmark::State& state, const std::string& body) {
    for (auto _ : state) {
        pugi::xml_document doc;
        const pugi::xml_parse_result result = doc.load_buffer(body.data(), body.size());
        benchmark::DoNotOptimize(result.status);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * body.size()));
}

void BM_FaceMatchParse(benchmark::State& state) {
    Parse(state, FaceBody());
}
void BM_FaceMatchParseBaseline(benchmark::State& state) {
    ParseBaseline(state, FaceBody());
}
void BM_DenseParse(benchmark::State& state) {
    Parse(state, DenseBody());
}
void BM_DenseParseBaseline(benchmark::State& state) {
    ParseBaseline(state, DenseBody());
}

void Decode(benchmark::State& state, const std::string& text) {
    std::vector<unsigned char> out(
        static_cast<std::size_t>(Base64DecodedSize(static_cast<int>(text.size()))));
    for (auto _ : state) {
        benchmark::DoNotOptimize(
            Base64Decode(text.data(), static_cast<int>(text.size()), out.data()));
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * UnbrokenText().size()));
}

void BM_Base64Decode(benchmark::State& state) {
    Decode(state, UnbrokenText());
}
void BM_Base64DecodeLines(benchmark::State& state) {
    Decode(state, BrokenText());
}
void BM_Base64DecodeBaseline(benchmark::State& state) {
    const std::string& text = UnbrokenText();
    std::vector<unsigned char> out(text.size());
    for (auto _ : state) {
        benchmark::DoNotOptimize(
            EVP_DecodeBlock(out.data(), reinterpret_cast<const unsigned char*>(text.data()),
                            static_cast<int>(text.size())));
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}

BENCHMARK(BM_FaceMatchParse);
BENCHMARK(BM_FaceMatchParseBaseline);
BENCHMARK(BM_DenseParse);
BENCHMARK(BM_DenseParseBaseline);
BENCHMARK(BM_Base64Decode);
BENCHMARK(BM_Base64DecodeLines);
BENCHMARK(BM_Base64DecodeBaseline);

}  // namespace

int main(int argc, char** argv) {
    // The walk must really find the pictures, or the figures say nothing.
    if (DecoderWalk(FaceBody()) < 3 * ((kPictureBytes + 2) / 3 * 4)) {
        std::fprintf(stderr, "the face-match walk found no pictures\n");
        return 2;
    }
    std::printf("face-match body %zu bytes, dense document %zu bytes, Base64 text %zu bytes\n",
                FaceBody().size(), DenseBody().size(), UnbrokenText().size());
    GoalReport report;
    report.TimeAtMost("face-match parse and walk / pugixml load_buffer", "BM_FaceMatchParse",
                      "BM_FaceMatchParseBaseline", 0.5);
    report.TimeAtMost("dense markup parse and walk / pugixml load_buffer", "BM_DenseParse",
                      "BM_DenseParseBaseline", 1.0);
    report.ThroughputAtLeast("Base64Decode / EVP_DecodeBlock (throughput)", "BM_Base64Decode",
                             "BM_Base64DecodeBaseline", 2.0);
    report.TimeAtMost("Base64Decode CR LF every 76 / unbroken", "BM_Base64DecodeLines",
                      "BM_Base64Decode", 1.2);
    // Short cases on a shared machine: more repetitions give the fastest one more chances.
    report.RunBenchmarks(argc, argv, 12);
    return report.Print() == 0 ? 0 : 1;
}
