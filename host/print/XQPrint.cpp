#include "host/print/XQPrint.h"

#include <cairo-pdf.h>
#include <cairo.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <string>

#include "host/base/Cp1252.h"
#include "host/base/Escape.h"
#include "host/base/HostContext.h"
#include "host/dlg/XQMessages.h"
#include "host/print/internal/XQPrintSeam.h"

namespace {

const char kHeader[] = "Q7DRUCK 1";

const XQFormular kFormulare[] = {
    {XQ_FORM_TEXTBAUSTEINLISTE, "TBLISTE", "Liste der Textbausteine"},
};

int g_writeFaultAt = 0;  // test seam: the N-th entry write fails
int g_writeCount = 0;

// A field that does not unescape (a hand-made file) is taken as it stands.
CString Unescape(std::string_view field) {
    std::string raw;
    if (!XQUnescapeField(field, raw)) raw = field;
    return CString(std::move(raw));
}

std::vector<std::string_view> SplitTabs(std::string_view line) {
    std::vector<std::string_view> fields;
    size_t start = 0;
    for (;;) {
        const size_t tab = line.find('\t', start);
        fields.push_back(line.substr(start, tab == std::string_view::npos ? tab : tab - start));
        if (tab == std::string_view::npos) break;
        start = tab + 1;
    }
    return fields;
}

}  // namespace

void XQSetPrintWriteFault(int n) {
    g_writeFaultAt = n;
    g_writeCount = 0;
}

const XQFormular* XQFindFormular(const CString& name) {
    for (const XQFormular& f : kFormulare)
        if (name == f.name) return &f;
    return nullptr;
}

const XQFormular* XQFindFormular(int id) {
    for (const XQFormular& f : kFormulare)
        if (f.id == id) return &f;
    return nullptr;
}

// ---------------------------------------------------------------- writer

CXQPrintFile::~CXQPrintFile() {
    if (m_file) std::fclose(m_file);
}

bool CXQPrintFile::Create(const CString& path) {
    if (m_file) Close();
    m_file = std::fopen(NativePath(path).c_str(), "wb");
    if (!m_file) return false;
    m_failed = false;
    if (std::fprintf(m_file, "%s\n", kHeader) < 0) m_failed = true;
    return true;
}

bool CXQPrintFile::Close() {
    if (!m_file) return false;
    const bool closed = std::fclose(m_file) == 0;
    m_file = nullptr;
    return closed && !m_failed;
}

bool CXQPrintFile::WriteEntry(const char* kind, const std::vector<CString>& fields) {
    if (!m_file || m_failed) return false;
    std::string line = kind;
    for (const CString& f : fields) {
        line += '\t';
        line += XQEscapeField(f.str());
    }
    line += '\n';
    const bool fault = g_writeFaultAt > 0 && ++g_writeCount == g_writeFaultAt;
    if (fault || std::fwrite(line.data(), 1, line.size(), m_file) != line.size()) m_failed = true;
    return !m_failed;
}

bool Write_Variable(CXQPrintFile& file, const CString& name, const CString& value) {
    return file.WriteEntry("V", {name, value});
}

bool Write_Column(CXQPrintFile& file, const CString& name, const CString& value) {
    return file.WriteEntry("C", {name, value});
}

bool Write_2Columns(CXQPrintFile& file, const CString& name, const CString& value,
                    const CString& name2, const CString& value2) {
    return file.WriteEntry("C", {name, value, name2, value2});
}

// ---------------------------------------------------------------- reader

CString XQPrintData::Variable(const CString& name) const {
    for (const auto& [n, v] : variables)
        if (n == name) return v;
    return CString();
}

bool XQReadPrintData(const CString& path, XQPrintData& data) {
    data = XQPrintData();
    std::ifstream in(NativePath(path), std::ios::binary);
    std::string line;
    if (!in || !std::getline(in, line) || line != kHeader) return false;
    while (std::getline(in, line)) {
        const std::vector<std::string_view> f = SplitTabs(line);
        if (f[0] == "V" && f.size() >= 3) {
            data.variables.emplace_back(Unescape(f[1]), Unescape(f[2]));
        } else if (f[0] == "C" && f.size() >= 3) {
            XQPrintRow row{Unescape(f[1]), Unescape(f[2]), CString(), CString()};
            if (f.size() >= 5) {
                row.name2 = Unescape(f[3]);
                row.value2 = Unescape(f[4]);
            }
            data.rows.push_back(std::move(row));
        }
    }
    if (in.bad()) {
        data = XQPrintData();
        return false;
    }
    return true;
}

// ---------------------------------------------------------------- rendering

namespace {

// Cairo's own text calls want UTF-8; everything it draws here is Windows-1252.
void ShowText(cairo_t* cr, double x, double y, const CString& text) {
    const std::string utf8 = Cp1252ToUtf8(text.str());
    cairo_move_to(cr, x, y);
    cairo_show_text(cr, utf8.c_str());
}

double TextWidth(cairo_t* cr, const CString& text) {
    const std::string utf8 = Cp1252ToUtf8(text.str());
    cairo_text_extents_t ext;
    cairo_text_extents(cr, utf8.c_str(), &ext);
    return ext.x_advance;
}

bool IsBold(const XQPrintRow& row) {
    return row.name2 == "Modus" && row.value2 == "Fett";
}

struct Page {
    size_t first = 0, end = 0;  // rows [first, end)
};

class Renderer {
  public:
    Renderer(const XQPrintData& data, const XQPrintLayout& layout)
        : m_data(data), m_layout(layout) {}

    int Render(const std::string& path) {
        cairo_surface_t* surface =
            cairo_pdf_surface_create(path.c_str(), m_layout.pageWidth, m_layout.pageHeight);
        cairo_t* cr = cairo_create(surface);
        const CString title = m_data.Variable("Ueberschrift1");
        const std::string titleUtf8 = Cp1252ToUtf8(title.str());
        if (!title.IsEmpty())
            cairo_pdf_surface_set_metadata(surface, CAIRO_PDF_METADATA_TITLE, titleUtf8.c_str());
        cairo_pdf_surface_set_metadata(surface, CAIRO_PDF_METADATA_CREATOR, "q7host");

        FitFont(cr);
        Paginate();
        for (size_t p = 0; p < m_pages.size(); ++p) {
            DrawPage(cr, p);
            cairo_show_page(cr);
        }
        cairo_destroy(cr);
        cairo_surface_finish(surface);
        const bool ok = cairo_surface_status(surface) == CAIRO_STATUS_SUCCESS;
        cairo_surface_destroy(surface);
        return ok ? static_cast<int>(m_pages.size()) : 0;
    }

  private:
    // Rows are laid out in characters; the font shrinks when the widest row
    // would not fit between the margins, so no column is ever cut off.
    void FitFont(cairo_t* cr) {
        SetMono(cr, false, m_layout.fontSize);
        size_t widest = m_data.Variable("Spaltenueberschrift").GetLength();
        for (const XQPrintRow& row : m_data.rows)
            widest = std::max(widest, static_cast<size_t>(row.value.GetLength()));
        const double usable = m_layout.pageWidth - 2 * m_layout.margin;
        const double width =
            TextWidth(cr, CString('M', static_cast<int>(std::max<size_t>(widest, 1))));
        m_fontSize = m_layout.fontSize;
        m_lineHeight = m_layout.lineHeight;
        if (width > usable) {
            m_fontSize *= usable / width;
            m_lineHeight *= usable / width;
        }
    }

    void SetMono(cairo_t* cr, bool bold, double size) const {
        cairo_select_font_face(cr, m_layout.font, CAIRO_FONT_SLANT_NORMAL,
                               bold ? CAIRO_FONT_WEIGHT_BOLD : CAIRO_FONT_WEIGHT_NORMAL);
        cairo_set_font_size(cr, size);
    }

    double BodyTop() const {
        double y = m_layout.margin + 14.0;  // first heading
        if (!m_data.Variable("Ueberschrift2").IsEmpty()) y += 12.0;
        if (!m_data.Variable("Spaltenueberschrift").IsEmpty()) y += 6.0 + m_lineHeight + 4.0;
        return y + 4.0;
    }
    double BodyBottom() const { return m_layout.pageHeight - m_layout.margin - 14.0; }

    // A block row is followed by a half line of space when it is not the
    // first on its page, and never stands alone at the foot of a page.
    void Paginate() {
        const double top = BodyTop(), bottom = BodyBottom();
        Page page;
        double y = top;
        for (size_t i = 0; i < m_data.rows.size(); ++i) {
            const bool bold = IsBold(m_data.rows[i]);
            double need = m_lineHeight;
            if (bold && i > page.first) need += m_lineHeight / 2;
            const bool textFollows = i + 1 < m_data.rows.size() && !IsBold(m_data.rows[i + 1]);
            const double keep = bold && textFollows ? m_lineHeight : 0.0;
            if (i > page.first && y + need + keep > bottom) {
                page.end = i;
                m_pages.push_back(page);
                page.first = i;
                y = top;
                need = m_lineHeight;
            }
            y += need;
        }
        page.end = m_data.rows.size();
        m_pages.push_back(page);
    }

    void DrawPage(cairo_t* cr, size_t index) const {
        const double left = m_layout.margin, right = m_layout.pageWidth - m_layout.margin;
        cairo_set_source_rgb(cr, 0, 0, 0);
        double y = m_layout.margin + 10.0;
        cairo_select_font_face(cr, "DejaVu Sans", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_BOLD);
        cairo_set_font_size(cr, 12.0);
        ShowText(cr, left, y, m_data.Variable("Ueberschrift1"));
        cairo_select_font_face(cr, "DejaVu Sans", CAIRO_FONT_SLANT_NORMAL,
                               CAIRO_FONT_WEIGHT_NORMAL);
        cairo_set_font_size(cr, 8.0);
        const CString stand = "Stand: " + Db2Date(GetXQDate());
        ShowText(cr, right - TextWidth(cr, stand), y, stand);
        const CString second = m_data.Variable("Ueberschrift2");
        if (!second.IsEmpty()) {
            y += 12.0;
            cairo_set_font_size(cr, 9.0);
            ShowText(cr, left, y, second);
        }
        const CString heading = m_data.Variable("Spaltenueberschrift");
        if (!heading.IsEmpty()) {
            y += 6.0 + m_lineHeight;
            SetMono(cr, true, m_fontSize);
            ShowText(cr, left, y, heading);
            cairo_set_line_width(cr, 0.6);
            cairo_move_to(cr, left, y + 3.0);
            cairo_line_to(cr, right, y + 3.0);
            cairo_stroke(cr);
        }

        const Page& page = m_pages[index];
        y = BodyTop();
        for (size_t i = page.first; i < page.end; ++i) {
            const XQPrintRow& row = m_data.rows[i];
            const bool bold = IsBold(row);
            if (bold && i > page.first) y += m_lineHeight / 2;
            y += m_lineHeight;
            SetMono(cr, bold, m_fontSize);
            ShowText(cr, left, y - m_lineHeight * 0.25, row.value);
        }

        cairo_select_font_face(cr, "DejaVu Sans", CAIRO_FONT_SLANT_NORMAL,
                               CAIRO_FONT_WEIGHT_NORMAL);
        cairo_set_font_size(cr, 8.0);
        const CString footer = FormatString("Seite %d von %d", static_cast<int>(index + 1),
                                            static_cast<int>(m_pages.size()));
        ShowText(cr, (m_layout.pageWidth - TextWidth(cr, footer)) / 2,
                 m_layout.pageHeight - m_layout.margin, footer);
    }

    const XQPrintData& m_data;
    const XQPrintLayout& m_layout;
    std::vector<Page> m_pages;
    double m_fontSize = 8.0, m_lineHeight = 10.5;
};

CString PdfPathFor(const CString& datPath) {
    const int dot = datPath.ReverseFind('.');
    const int slash = std::max(datPath.ReverseFind('/'), datPath.ReverseFind('\\'));
    return (dot > slash ? datPath.Left(dot) : datPath) + ".pdf";
}

const char kDruckTitel[] = "Drucken";

int PrintDataFile(const CString& datPath, int formularId) {
    XQPrintData data;
    if (!XQReadPrintData(datPath, data)) {
        HaltE(kDruckTitel, "Die Druckdaten k\xF6nnen nicht gelesen werden:\n" + datPath);
        return 1;
    }
    const XQFormular* form = XQFindFormular(formularId);
    if (!form || data.Variable("FormularId") != FormatString("%d", formularId)) {
        HaltE(kDruckTitel,
              FormatString("Die Druckdaten passen nicht zum Formular %d.", formularId));
        return 1;
    }
    const CString pdfPath = PdfPathFor(datPath);
    if (XQRenderPrintData(data, pdfPath) == 0) {
        HaltE(kDruckTitel, "Das Dokument kann nicht geschrieben werden:\n" + pdfPath);
        return 2;
    }
    XQPrintDocument(pdfPath);
    return 0;
}

}  // namespace

int XQRenderPrintData(const XQPrintData& data, const CString& pdfPath,
                      const XQPrintLayout& layout) {
    const std::string path = NativePath(pdfPath);
    const int pages = Renderer(data, layout).Render(path);
    if (pages == 0) std::remove(path.c_str());
    return pages;
}

int PrintFile(CWnd* /*owner*/, const CString& /*mdId*/, int formularId, const CString& datPath,
              int /*drucker*/, int /*optionen*/) {
    CXQWaitCursor wait;
    return PrintDataFile(datPath, formularId);
}

int PrintTable(CWnd* /*owner*/, const CString& /*mdId*/, int formularId, const CString& datPath,
               const CString& /*tabelle*/, const CString& /*schluessel*/,
               const CString& /*sortierung*/, int /*ebenen*/, const CString& /*zeilenFeld*/,
               const CString& /*zeilenFilter*/, const CString& /*zeilenNummer*/,
               const CString& /*zeilenSortierung*/, const CString& /*verknuepfung*/,
               const CString& /*verknuepfungZeile*/) {
    CXQWaitCursor wait;
    return PrintDataFile(datPath, formularId);
}
