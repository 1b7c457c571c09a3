// The engine on the photo grid's workload: 5,000 grid cells inserted one fragment at a time
// (as the grid is built) and in one fragment, and the selected cells found again with
// div.loc[sel="true"]. The same work done with libxml2's HTML parser and XPath, the library a
// C++ program would most likely pick instead, runs beside it.
#include <benchmark/benchmark.h>
#include <libxml/HTMLparser.h>
#include <libxml/xpath.h>

#include <cstdio>
#include <memory>
#include <string>

#include "engine/Document.h"
#include "engine/Element.h"
#include "engine/HeadlessView.h"
#include "engine/Selector.h"

namespace {

constexpr int kCells = 5000;
constexpr const char* kPage = "<html><head></head><body><div id=\"grid\"></div></body></html>";

// One grid cell as the grid writes it for a 128-pixel box; every third picture is uploaded,
// every fifth marked, every tenth selected. `shorthand` picks the page dialect's ".loc" or the
// standard class="loc" that libxml2 understands.
std::string Cell(int index, bool shorthand) {
    const char* cls = shorthand ? ".loc" : "class=\"loc\"";
    const char* icon = shorthand ? ".icon" : "class=\"icon\"";
    const char* uped = shorthand ? "<p .uped style=\"left:108px;top:108px\" />"
                                 : "<p class=\"uped\" style=\"left:108px;top:108px\"></p>";
    const char* mark = shorthand ? "<p .mark style=\"left:88px;top:108px\" />"
                                 : "<p class=\"mark\" style=\"left:88px;top:108px\"></p>";
    char cell[512];
    std::snprintf(cell, sizeof cell,
                  "<div %s it=\"%d\" style=\"width:136px;height:136px;\" "
                  "path=\"%%mypic%%/2024/trip/IMG_%04d.jpg\"%s><div %s style=\"width:128px; "
                  "height:128px; \"></div> %s%s</div>",
                  cls, index, index, index % 10 == 0 ? " sel=\"true\"" : "", icon,
                  index % 3 == 0 ? uped : "", index % 5 == 0 ? mark : "");
    return cell;
}

std::string AllCells(bool shorthand) {
    std::string cells;
    for (int i = 0; i < kCells; ++i) {
        cells += Cell(i, shorthand);
    }
    return cells;
}

enum class Recording { Off, On };

// A page with its grid, and a headless view recording the changes when asked: the browser view
// does the same recording.
struct GridPage {
    explicit GridPage(Recording recording)
        : page(tavopix::Document::FromHtml(kPage, u"/skin/mainframe.htm")),
          grid(page->Root()->FindById(u"grid")) {
        if (recording == Recording::On) {
            page->AttachView(&view);
        }
    }
    ~GridPage() { page->AttachView(nullptr); }

    tavopix::HeadlessView view;
    std::unique_ptr<tavopix::Document> page;
    tavopix::Element* grid;
};

void TavopixAppendEachCell(benchmark::State& state) {
    std::vector<std::string> cells;
    for (int i = 0; i < kCells; ++i) {
        cells.push_back(Cell(i, true));
    }
    for (auto _ : state) {
        GridPage grid(static_cast<Recording>(state.range(0)));
        for (const std::string& cell : cells) {
            (void)grid.grid->SetHtml(cell, tavopix::SIH_APPEND_AFTER_LAST);
        }
        grid.page->FlushChanges();
        benchmark::DoNotOptimize(grid.grid->ChildCount());
    }
}
BENCHMARK(TavopixAppendEachCell)
    ->ArgName("recording")
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond);

void TavopixAppendAllCells(benchmark::State& state) {
    const std::string cells = AllCells(true);
    for (auto _ : state) {
        GridPage grid(static_cast<Recording>(state.range(0)));
        (void)grid.grid->SetHtml(cells, tavopix::SIH_APPEND_AFTER_LAST);
        grid.page->FlushChanges();
        benchmark::DoNotOptimize(grid.grid->ChildCount());
    }
}
BENCHMARK(TavopixAppendAllCells)
    ->ArgName("recording")
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond);

void TavopixSelectSelectedCells(benchmark::State& state) {
    GridPage grid(Recording::Off);
    (void)grid.grid->SetHtml(AllCells(true), tavopix::SIH_APPEND_AFTER_LAST);
    const auto selector = tavopix::Selector::Parse("div.loc[sel=\"true\"]");
    for (auto _ : state) {
        const auto found = grid.page->Root()->SelectAll(*selector);
        if (found.size() != kCells / 10) {
            state.SkipWithError("wrong number of selected cells");
        }
        benchmark::DoNotOptimize(found.data());
    }
}
BENCHMARK(TavopixSelectSelectedCells)->Unit(benchmark::kMicrosecond);

// ---- libxml2 ----------------------------------------------------------------------------------

const xmlChar* XmlText(const char* text) {
    return reinterpret_cast<const xmlChar*>(text);
}

constexpr int kXmlOptions = HTML_PARSE_NOERROR | HTML_PARSE_NOWARNING | HTML_PARSE_NONET;

struct XmlPage {
    XmlPage()
        : doc(htmlReadMemory(kPage, static_cast<int>(std::char_traits<char>::length(kPage)),
                             "mainframe.htm", "UTF-8", kXmlOptions)) {
        xmlXPathContextPtr context = xmlXPathNewContext(doc);
        xmlXPathObjectPtr found = xmlXPathEvalExpression(XmlText("//div[@id='grid']"), context);
        grid = found->nodesetval->nodeTab[0];
        xmlXPathFreeObject(found);
        xmlXPathFreeContext(context);
    }
    ~XmlPage() { xmlFreeDoc(doc); }

    xmlDocPtr doc;
    xmlNodePtr grid;
};

void Libxml2AppendEachCell(benchmark::State& state) {
    std::vector<std::string> cells;
    for (int i = 0; i < kCells; ++i) {
        cells.push_back(Cell(i, false));
    }
    for (auto _ : state) {
        XmlPage page;
        for (const std::string& cell : cells) {
            xmlNodePtr list = nullptr;
            if (xmlParseInNodeContext(page.grid, cell.data(), static_cast<int>(cell.size()),
                                      kXmlOptions, &list) == XML_ERR_OK) {
                xmlAddChildList(page.grid, list);
            }
        }
        benchmark::DoNotOptimize(xmlChildElementCount(page.grid));
    }
}
BENCHMARK(Libxml2AppendEachCell)->Unit(benchmark::kMillisecond);

void Libxml2ParseAllCells(benchmark::State& state) {
    const std::string html =
        "<html><body><div id=\"grid\">" + AllCells(false) + "</div></body></html>";
    for (auto _ : state) {
        xmlDocPtr doc = htmlReadMemory(html.data(), static_cast<int>(html.size()), "grid.htm",
                                       "UTF-8", kXmlOptions);
        benchmark::DoNotOptimize(doc);
        xmlFreeDoc(doc);
    }
}
BENCHMARK(Libxml2ParseAllCells)->Unit(benchmark::kMillisecond);

void Libxml2XPathSelectedCells(benchmark::State& state) {
    const std::string html =
        "<html><body><div id=\"grid\">" + AllCells(false) + "</div></body></html>";
    xmlDocPtr doc = htmlReadMemory(html.data(), static_cast<int>(html.size()), "grid.htm", "UTF-8",
                                   kXmlOptions);
    xmlXPathCompExprPtr expression = xmlXPathCompile(XmlText(
        "//div[@sel='true'][contains(concat(' ', normalize-space(@class), ' '), ' loc ')]"));
    xmlXPathContextPtr context = xmlXPathNewContext(doc);
    for (auto _ : state) {
        xmlXPathObjectPtr found = xmlXPathCompiledEval(expression, context);
        if (!found || !found->nodesetval || found->nodesetval->nodeNr != kCells / 10) {
            state.SkipWithError("wrong number of selected cells");
        }
        xmlXPathFreeObject(found);
    }
    xmlXPathFreeContext(context);
    xmlXPathFreeCompExpr(expression);
    xmlFreeDoc(doc);
}
BENCHMARK(Libxml2XPathSelectedCells)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
