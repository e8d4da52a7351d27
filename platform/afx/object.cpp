#include "afx/object.h"

#include "afx/archive.h"

#include <map>
#include <mutex>

namespace {

struct Registry {
    std::mutex mutex;
    std::map<std::string, const CRuntimeClass*> byName;
};

Registry& registry()
{
    static Registry r;
    return r;
}

} // namespace

const CRuntimeClass CObject::classCObject = {"CObject", 0xFFFF, nullptr, nullptr};

static const afx_detail::ClassRegistrar afx_register_CObject(&CObject::classCObject);

afx_detail::ClassRegistrar::ClassRegistrar(const CRuntimeClass* cls)
{
    Registry& r = registry();
    std::lock_guard lock(r.mutex);
    r.byName.emplace(cls->m_lpszClassName, cls);
}

const CRuntimeClass* CRuntimeClass::FromName(const std::string& name)
{
    Registry& r = registry();
    std::lock_guard lock(r.mutex);
    auto it = r.byName.find(name);
    return it == r.byName.end() ? nullptr : it->second;
}

CObject* CRuntimeClass::CreateObject() const
{
    return m_pfnCreateObject ? m_pfnCreateObject() : nullptr;
}

CObject* CRuntimeClass::CreateObject(const std::string& name)
{
    const CRuntimeClass* cls = FromName(name);
    return cls ? cls->CreateObject() : nullptr;
}

std::vector<const CRuntimeClass*> CRuntimeClass::RegisteredClasses()
{
    Registry& r = registry();
    std::lock_guard lock(r.mutex);
    std::vector<const CRuntimeClass*> out;
    for (const auto& [name, cls] : r.byName)
        out.push_back(cls);
    return out;
}

bool CRuntimeClass::IsDerivedFrom(const CRuntimeClass* base) const
{
    if (!base)
        return false;
    for (const CRuntimeClass* c = this; c; c = c->m_pBaseClass)
        if (c == base)
            return true;
    return false;
}

const CRuntimeClass* CObject::GetRuntimeClass() const
{
    return &classCObject;
}

void CObject::Serialize(CArchive&) {}

bool CObject::IsKindOf(const CRuntimeClass* cls) const
{
    return GetRuntimeClass()->IsDerivedFrom(cls);
}
