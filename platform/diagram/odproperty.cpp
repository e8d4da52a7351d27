#include "diagram/odproperty.h"

#include <unordered_set>

void CODProperty::Serialize(CArchive& ar)
{
    if (ar.IsStoring())
        ar << m_nId;
    else
        ar >> m_nId;
}

std::unique_ptr<CODProperty> CODProperty::CreateOfKind(std::uint8_t kind, std::int32_t id)
{
    switch (kind) {
    case 1:
        return std::make_unique<CODIntProperty>(id);
    case 2: {
        auto p = std::make_unique<CODFontProperty>();
        p->m_nId = id;
        return p;
    }
    case 3: {
        auto p = std::make_unique<CODEditProperty>();
        p->m_nId = id;
        return p;
    }
    default:
        return nullptr;
    }
}

void CODIntProperty::Serialize(CArchive& ar)
{
    CODProperty::Serialize(ar);
    if (ar.IsStoring())
        ar << m_nValue;
    else
        ar >> m_nValue;
}

bool CODIntProperty::Equals(const CODProperty& o) const
{
    auto* p = dynamic_cast<const CODIntProperty*>(&o);
    return p && p->m_nId == m_nId && p->m_nValue == m_nValue;
}

void CODFontProperty::Serialize(CArchive& ar)
{
    CODProperty::Serialize(ar);
    if (ar.IsStoring())
        ar << m_strFace << m_nPointSize << m_bBold << m_bItalic << m_crColor;
    else
        ar >> m_strFace >> m_nPointSize >> m_bBold >> m_bItalic >> m_crColor;
}

bool CODFontProperty::Equals(const CODProperty& o) const
{
    auto* p = dynamic_cast<const CODFontProperty*>(&o);
    return p && p->m_nId == m_nId && p->m_strFace == m_strFace && p->m_nPointSize == m_nPointSize &&
           p->m_bBold == m_bBold && p->m_bItalic == m_bItalic && p->m_crColor == m_crColor;
}

void CODEditProperty::Serialize(CArchive& ar)
{
    CODProperty::Serialize(ar);
    if (ar.IsStoring())
        ar << m_bValue << m_bSecond << m_nMember << m_nA << m_nB << m_nC;
    else
        ar >> m_bValue >> m_bSecond >> m_nMember >> m_nA >> m_nB >> m_nC;
}

bool CODEditProperty::Equals(const CODProperty& o) const
{
    auto* p = dynamic_cast<const CODEditProperty*>(&o);
    return p && p->m_nId == m_nId && p->m_bValue == m_bValue && p->m_bSecond == m_bSecond &&
           p->m_nMember == m_nMember && p->m_nA == m_nA && p->m_nB == m_nB && p->m_nC == m_nC;
}

CODPropertySet::CODPropertySet(const CODPropertySet& other)
{
    *this = other;
}

CODPropertySet& CODPropertySet::operator=(const CODPropertySet& other)
{
    if (this != &other) {
        std::vector<std::unique_ptr<CODProperty>> copy;
        for (const auto& p : other.m_props)
            copy.push_back(p->Clone());
        m_props = std::move(copy);
    }
    return *this;
}

CODProperty* CODPropertySet::Find(std::int32_t id) const
{
    for (const auto& p : m_props)
        if (p->GetId() == id)
            return p.get();
    return nullptr;
}

void CODPropertySet::Set(const CODProperty& prop)
{
    for (auto& p : m_props)
        if (p->GetId() == prop.GetId()) {
            p = prop.Clone();
            return;
        }
    m_props.push_back(prop.Clone());
}

bool CODPropertySet::Remove(std::int32_t id)
{
    for (auto it = m_props.begin(); it != m_props.end(); ++it)
        if ((*it)->GetId() == id) {
            m_props.erase(it);
            return true;
        }
    return false;
}

void CODPropertySet::Serialize(CArchive& ar)
{
    if (ar.IsStoring()) {
        ar.WriteCount(static_cast<std::uint32_t>(m_props.size()));
        for (const auto& p : m_props) {
            ar << p->GetKind();
            p->Serialize(ar);
        }
        return;
    }
    std::vector<std::unique_ptr<CODProperty>> loaded;
    std::unordered_set<std::int32_t> ids;
    const std::uint32_t n = ar.ReadCount();
    for (std::uint32_t i = 0; i < n; ++i) {
        std::uint8_t kind = 0;
        ar >> kind;
        auto p = CODProperty::CreateOfKind(kind, 0);
        if (!p)
            CArchive::ThrowException(CArchiveException::badClass, "unknown property kind " + std::to_string(kind));
        p->Serialize(ar);
        if (!ids.insert(p->GetId()).second)
            CArchive::ThrowException(CArchiveException::badIndex, "property stored twice");
        loaded.push_back(std::move(p));
    }
    m_props = std::move(loaded);
}
