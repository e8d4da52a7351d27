// Feeds arbitrary bytes to the archive reader: a tree of objects with
// strings, counts and back-references. Any outcome but the archive's own
// exception (or a file exception) is a fault.
#include "afx/archive.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace {

class FuzzNode : public CObject {
    DECLARE_SERIAL(FuzzNode)
public:
    ~FuzzNode() override
    {
        for (FuzzNode* c : m_children)
            c->Release();
    }
    void AddRef() { ++m_refs; }
    void Release()
    {
        if (--m_refs == 0)
            delete this;
    }
    void DiscardAfterFailedLoad() override
    {
        if (m_refs == 0)
            delete this;
    }
    void Serialize(CArchive& ar) override
    {
        if (ar.IsStoring()) {
            ar << m_name << m_value;
            ar.WriteCount(static_cast<std::uint32_t>(m_children.size()));
            for (FuzzNode* c : m_children)
                ar << c;
            return;
        }
        ar.GetObjectSchema();
        m_loading = true;
        ar >> m_name >> m_value;
        std::uint32_t n = ar.ReadCount();
        for (std::uint32_t i = 0; i < n; ++i) {
            FuzzNode* c = nullptr;
            ar >> c;
            if (!c)
                continue;
            // Only a finished node can be a child: no cycles.
            if (c->m_loading)
                CArchive::ThrowException(CArchiveException::badIndex, "node contains its ancestor");
            c->AddRef();
            m_children.push_back(c);
        }
        m_loading = false;
    }
    std::string m_name;
    double m_value = 0;
    std::vector<FuzzNode*> m_children;
    int m_refs = 0;
    bool m_loading = false;
};

IMPLEMENT_SERIAL(FuzzNode, CObject, VERSIONABLE_SCHEMA | 2)

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    CMemFile file(data, size);
    CArchive ar(&file, CArchive::load);
    std::vector<FuzzNode*> roots;
    try {
        while (file.GetPosition() < file.GetLength()) {
            FuzzNode* n = nullptr;
            ar >> n;
            if (n) {
                n->AddRef();
                roots.push_back(n);
            }
        }
    } catch (const CArchiveException&) {
    } catch (const CFileException&) {
    }
    for (FuzzNode* n : roots)
        n->Release();
    return 0;
}
