// The coding manual viewer's work for the whole manual: a 5 MB master file in
// the published layout (ISO-8859-15, CR LF, prefixed elements, head with its
// validity period, chapters with titles, paragraphs, lists, and a table in
// every third chapter) parsed into the element tree and rendered into lines;
// beside it a bare expat parse of the same text without handlers, the floor
// any reader stands on. The aim: a median below 300 ms and at most 3 times
// the bare parse (counter x_expat); render_ms is the rendering's share, and
// BM_RenderOnly renders a tree parsed once.
#include <benchmark/benchmark.h>
#include <expat.h>

#include <chrono>
#include <string>
#include <vector>

#include "bench/BenchSupport.h"
#include "q7txtbst/VaRender.h"

namespace {

constexpr size_t kSize = 5u << 20;

std::string Generate() {
    RandomWords words(61);
    const auto text = [&](int n) {
        std::string t;
        for (int i = 0; i < n; ++i) {
            if (i) t += i % 7 == 6 ? ", " : " ";
            t += i % 11 == 5 ? "Verschl\xFCsselung" : words(2, 12);
        }
        return t;
    };
    const auto indent = [](int n) { return std::string(static_cast<size_t>(n), ' '); };
    std::string file =
        "<?xml version=\"1.0\" encoding=\"ISO-8859-15\"?>\r\n"
        "<va:ehd xmlns:va=\"urn:ehd/va/001\" xmlns:xsi=\"http://www.w3.org/2001/"
        "XMLSchema-instance\">\r\n"
        "  <va:header>\r\n"
        "    <va:origination_dttm V=\"2026-09-15\"/>\r\n"
        "    <va:service_tmr V=\"2026-10-01..2026-12-31\"/>\r\n"
        "  </va:header>\r\n"
        "  <va:body>\r\n";
    for (int haupt = 0; file.size() < kSize; ++haupt) {
        file += "    <va:hauptkapitel V=\"VA" + std::to_string(100000 + haupt) + "\">\r\n";
        file += "      <va:titel V=\"" + text(5) + "\"/>\r\n";
        for (int k = 0; k < 6; ++k) {
            const int in = 6;
            file += indent(in) + "<va:kapitel V=\"VA" + std::to_string(100000 + haupt) +
                    std::to_string(k) + "\">\r\n";
            file += indent(in + 2) + "<va:titel V=\"" + text(words.Between(3, 9)) + "\"/>\r\n";
            for (int p = words.Between(2, 5); p > 0; --p)
                file += indent(in + 2) + "<va:p>" + text(words.Between(10, 80)) + "</va:p>\r\n";
            if (k % 2 == 0) {
                file += indent(in + 2) + "<va:ul>\r\n";
                for (int li = words.Between(2, 6); li > 0; --li)
                    file +=
                        indent(in + 4) + "<va:li>" + text(words.Between(4, 40)) + "</va:li>\r\n";
                file += indent(in + 2) + "</va:ul>\r\n";
            }
            if (k % 3 == 1) {
                file += indent(in + 2) + "<va:div>\r\n" + indent(in + 4) + "<va:table>\r\n";
                const int columns = words.Between(2, 4);
                file += indent(in + 6) + "<va:tr>";
                for (int c = 0; c < columns; ++c) file += "<va:th>" + text(2) + "</va:th>";
                file += "</va:tr>\r\n";
                for (int r = words.Between(3, 8); r > 0; --r) {
                    file += indent(in + 6) + "<va:tr>";
                    for (int c = 0; c < columns; ++c)
                        file += "<va:td>" + text(words.Between(1, c ? 25 : 3)) + "</va:td>";
                    file += "</va:tr>\r\n";
                }
                file += indent(in + 4) + "</va:table>\r\n" + indent(in + 2) + "</va:div>\r\n";
            }
            file += indent(in) + "</va:kapitel>\r\n";
        }
        file += "    </va:hauptkapitel>\r\n";
    }
    return file + "  </va:body>\r\n</va:ehd>\r\n";
}

const std::string& Manual() {
    static const std::string manual = Generate();
    return manual;
}

// expat lacks ISO-8859-15; the reader hands it the byte map, and so does
// the floor, so both read the bytes through the same tokenizer.
int XMLCALL Latin9(void*, const XML_Char*, XML_Encoding* info) {
    for (int b = 0; b < 256; ++b) info->map[b] = b;
    const int euro[][2] = {{0xA4, 0x20AC}, {0xA6, 0x160}, {0xA8, 0x161}, {0xB4, 0x17D},
                           {0xB8, 0x17E},  {0xBC, 0x152}, {0xBD, 0x153}, {0xBE, 0x178}};
    for (const auto& [b, c] : euro) info->map[b] = c;
    info->data = nullptr;
    info->convert = nullptr;
    info->release = nullptr;
    return XML_STATUS_OK;
}

bool ExpatParse(const std::string& text) {
    XML_Parser parser = XML_ParserCreate(nullptr);
    XML_SetUnknownEncodingHandler(parser, Latin9, nullptr);
    const bool ok =
        XML_Parse(parser, text.data(), static_cast<int>(text.size()), 1) == XML_STATUS_OK;
    XML_ParserFree(parser);
    return ok;
}

void BM_RenderManual(benchmark::State& state) {
    const std::string& manual = Manual();
    if (!ExpatParse(manual)) {
        state.SkipWithError("expat las die Anleitung nicht");
        return;
    }
    size_t count = 0;
    double total = 0, rendering = 0, expat = 0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        CXQXMLElement root;
        CXQSimpleXMLReader reader;
        if (!reader.Parse(manual, root) || root.children.size() != 2) {
            state.SkipWithError("Anleitung nicht gelesen");
            return;
        }
        const auto parsed = std::chrono::steady_clock::now();
        std::vector<line> lines;
        addLine(root.children.back(), lines, 0, kVaBreite);
        const auto end = std::chrono::steady_clock::now();
        total += std::chrono::duration<double>(end - start).count();
        rendering += std::chrono::duration<double>(end - parsed).count();
        count = lines.size();
        state.PauseTiming();
        lines = std::vector<line>();
        root = CXQXMLElement();
        // The floor is taken beside every pass, so that the ratio holds
        // while the machine's speed drifts.
        const auto bare = std::chrono::steady_clock::now();
        benchmark::DoNotOptimize(ExpatParse(manual));
        expat += std::chrono::duration<double>(std::chrono::steady_clock::now() - bare).count();
        state.ResumeTiming();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                            static_cast<int64_t>(manual.size()));
    state.counters["lines"] = static_cast<double>(count);
    state.counters["render_ms"] = rendering * 1000.0 / static_cast<double>(state.iterations());
    state.counters["x_expat"] = total / expat;
}
BENCHMARK(BM_RenderManual)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true)
    ->Unit(benchmark::kMillisecond);

// The rendering alone, of a tree parsed once.
void BM_RenderOnly(benchmark::State& state) {
    CXQXMLElement root;
    CXQSimpleXMLReader().Parse(Manual(), root);
    for (auto _ : state) {
        std::vector<line> lines;
        addLine(root.children.back(), lines, 0, kVaBreite);
        benchmark::DoNotOptimize(lines.data());
    }
}
BENCHMARK(BM_RenderOnly)->Repetitions(5)->ReportAggregatesOnly(true)->Unit(benchmark::kMillisecond);

void BM_ExpatBare(benchmark::State& state) {
    const std::string& manual = Manual();
    for (auto _ : state) benchmark::DoNotOptimize(ExpatParse(manual));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                            static_cast<int64_t>(manual.size()));
}
BENCHMARK(BM_ExpatBare)->Repetitions(5)->ReportAggregatesOnly(true)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
