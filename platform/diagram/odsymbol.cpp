// SYMBOL resources: drawings of symbols described as text (see
// resources/tarnwick/symbols.txt), registered by the program at start.
#include "diagram/odcomponent.h"

#include <wx/log.h>

#include <map>
#include <mutex>
#include <sstream>

namespace {

std::mutex g_mutex;

std::map<std::uint32_t, std::string>& resources()
{
    static std::map<std::uint32_t, std::string> r;
    return r;
}

// Splits a line into words; "double quotes" keep spaces.
std::vector<std::string> words(const std::string& line)
{
    std::vector<std::string> out;
    std::size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t'))
            ++i;
        if (i >= line.size() || line[i] == '#')
            break;
        if (line[i] == '"') {
            const std::size_t end = line.find('"', i + 1);
            if (end == std::string::npos)
                throw std::runtime_error("unterminated text");
            out.push_back(line.substr(i + 1, end - i - 1));
            i = end + 1;
        } else {
            std::size_t end = i;
            while (end < line.size() && line[end] != ' ' && line[end] != '\t')
                ++end;
            out.push_back(line.substr(i, end - i));
            i = end;
        }
    }
    return out;
}

std::int32_t num(const std::vector<std::string>& w, std::size_t i)
{
    if (i >= w.size())
        throw std::runtime_error("missing number");
    std::size_t used = 0;
    const long v = std::stol(w[i], &used);
    if (used != w[i].size())
        throw std::runtime_error("not a number: " + w[i]);
    return static_cast<std::int32_t>(v);
}

struct Parsed {
    std::string name;
    std::vector<CODComponent*> children;
    std::vector<std::unique_ptr<CODProperty>> props;
    ~Parsed()
    {
        for (CODComponent* c : children)
            if (c->GetRefCount() == 0)
                delete c;
    }
};

void parse(const std::string& text, std::uint32_t id, Parsed& out)
{
    std::istringstream in(text);
    std::string line;
    bool inside = false, found = false;
    while (std::getline(in, line)) {
        const std::vector<std::string> w = words(line);
        if (w.empty())
            continue;
        if (!inside) {
            if (w[0] == "symbol" && w.size() >= 3 && static_cast<std::uint32_t>(num(w, 1)) == id) {
                inside = found = true;
                out.name = w[2];
            }
            continue;
        }
        const std::string& kind = w[0];
        if (kind == "end")
            break;
        if (kind == "property") {
            const std::int32_t pid = num(w, 1);
            const std::string type = w.size() > 2 ? w[2] : "";
            if (type == "font") {
                auto f = std::make_unique<CODFontProperty>(w.at(3), num(w, 4));
                out.props.push_back(std::move(f));
            } else if (type == "edit") {
                auto e = std::make_unique<CODEditProperty>();
                e->m_bValue = num(w, 3) != 0;
                e->m_bSecond = num(w, 4) != 0;
                out.props.push_back(std::move(e));
            } else if (type == "int") {
                out.props.push_back(std::make_unique<CODIntProperty>(pid, num(w, 3)));
            } else {
                throw std::runtime_error("unknown property kind " + type);
            }
            continue;
        }
        const std::string name = w.at(1);
        CODComponent* c = nullptr;
        if (kind == "port") {
            auto* p = new CODPortComponent;
            p->SetLocation(CPoint(num(w, 2), num(w, 3)), num(w, 4));
            p->SetCircle(w.size() > 5 && w[5] == "circle");
            c = p;
        } else if (kind == "polygon" || kind == "line") {
            std::vector<CPoint> pts;
            for (std::size_t i = 2; i + 1 < w.size(); i += 2)
                pts.emplace_back(num(w, i), num(w, i + 1));
            c = kind == "polygon" ? static_cast<CODComponent*>(new CODPolygonComponent)
                                  : static_cast<CODComponent*>(new CODLineComponent);
            c->SetVertices(pts.data(), static_cast<int>(pts.size()));
            c->UpdateBounds(false);
        } else if (kind == "ellipse") {
            c = new CODEllipseComponent(CRect(num(w, 2), num(w, 3), num(w, 4), num(w, 5)));
        } else if (kind == "text") {
            auto* t = new CODTextComponent;
            t->SetTextRect(CRect(num(w, 2), num(w, 3), num(w, 4), num(w, 5)));
            t->SetText(w.size() > 6 ? w[6] : "");
            c = t;
        } else {
            throw std::runtime_error("unknown child kind " + kind);
        }
        c->SetName(name);
        out.children.push_back(c);
    }
    if (!found)
        throw std::runtime_error("no such symbol");
}

} // namespace

void CODSymbolComponent::RegisterResource(std::uint32_t id, const std::string& text)
{
    std::lock_guard lock(g_mutex);
    resources()[id] = text;
}

bool CODSymbolComponent::HasResource(std::uint32_t id)
{
    std::lock_guard lock(g_mutex);
    return resources().count(id) != 0;
}

bool CODSymbolComponent::LoadFromResource(std::uint32_t id)
{
    std::string text;
    {
        std::lock_guard lock(g_mutex);
        auto it = resources().find(id);
        if (it != resources().end())
            text = it->second;
    }
    Parsed parsed;
    try {
        if (text.empty())
            throw std::runtime_error("not registered");
        parse(text, id, parsed);
    } catch (const std::exception& e) {
        wxLogError("symbol resource %u: %s", id, e.what());
        return false;
    }
    // The drawing replaces what the symbol had; its own fields stay.
    while (GetChildCount() > 0)
        RemoveChild(GetChild(GetChildCount() - 1));
    m_pOwnPort = nullptr;
    m_xform = CODTransform();
    m_vertices.clear();
    m_props.Clear();
    m_strName = parsed.name;
    for (CODComponent* c : parsed.children)
        AppendChild(c);
    for (const auto& p : parsed.props)
        m_props.Set(*p);
    if (auto* port = dynamic_cast<CODPortComponent*>(FindChild("Port")))
        m_pOwnPort = port;
    od::TouchConnections();
    UpdateBounds(false);
    return true;
}
