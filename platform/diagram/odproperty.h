// Properties of components, models and viewports, told apart by number.
#pragma once

#include "afx/archive.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class wxFont;

enum ODPropertyId : std::int32_t {
    OD_PROP_TEXT = 10,      // a label keeps its place on its link
    OD_PROP_FONT = 30,
    OD_PROP_EDIT = 40,      // line and edit flags; members A, B, C on a model
    OD_PROP_COMMENT = 60,   // given to a new comment text
    OD_PROP_LINE = 80,      // line style of a link
    OD_PROP_FILL = 90,      // fill colour of closed shapes
    OD_PROP_LINECOLOR = 91, // pen colour
};

// Change masks of a model's property 40.
enum : std::uint32_t { OD_EDIT_MASK_A = 1, OD_EDIT_MASK_B = 2, OD_EDIT_MASK_C = 64 };

class CODProperty {
public:
    explicit CODProperty(std::int32_t id) : m_nId(id) {}
    virtual ~CODProperty() = default;
    std::int32_t GetId() const { return m_nId; }
    virtual std::unique_ptr<CODProperty> Clone() const = 0;
    // The property's own data (its number first), no class tags.
    virtual void Serialize(CArchive& ar);
    virtual std::uint8_t GetKind() const = 0;
    virtual std::int32_t GetValue() const { return 0; }
    virtual void SetValue(std::int32_t) {}
    virtual bool Equals(const CODProperty& other) const = 0;
    // The kind a stored property was written as.
    static std::unique_ptr<CODProperty> CreateOfKind(std::uint8_t kind, std::int32_t id);

protected:
    std::int32_t m_nId;
};

class CODIntProperty : public CODProperty {
public:
    explicit CODIntProperty(std::int32_t id, std::int32_t value = 0) : CODProperty(id), m_nValue(value) {}
    std::unique_ptr<CODProperty> Clone() const override { return std::make_unique<CODIntProperty>(*this); }
    void Serialize(CArchive& ar) override;
    std::uint8_t GetKind() const override { return 1; }
    std::int32_t GetValue() const override { return m_nValue; }
    void SetValue(std::int32_t v) override { m_nValue = v; }
    bool Equals(const CODProperty& o) const override;

private:
    std::int32_t m_nValue;
};

class CODFontProperty : public CODProperty {
public:
    CODFontProperty() : CODProperty(OD_PROP_FONT) {}
    CODFontProperty(const std::string& face, std::int32_t pointSize, bool bold = false, bool italic = false)
        : CODProperty(OD_PROP_FONT), m_strFace(face), m_nPointSize(pointSize), m_bBold(bold), m_bItalic(italic) {}
    std::unique_ptr<CODProperty> Clone() const override { return std::make_unique<CODFontProperty>(*this); }
    void Serialize(CArchive& ar) override;
    std::uint8_t GetKind() const override { return 2; }
    std::int32_t GetValue() const override { return m_nPointSize; }
    void SetValue(std::int32_t v) override { m_nPointSize = v; }
    bool Equals(const CODProperty& o) const override;
    // A font of the face, or of the first installed fallback for it.
    wxFont CreateFont() const;

    std::string m_strFace = "Arial";
    std::int32_t m_nPointSize = 8;
    bool m_bBold = false;
    bool m_bItalic = false;
    std::uint32_t m_crColor = 0x000000; // 0xRRGGBB
};

// Property 40. On a component: the value flag, the second flag and a further
// member. On a model: the members A, B, C, set through change masks.
class CODEditProperty : public CODProperty {
public:
    CODEditProperty() : CODProperty(OD_PROP_EDIT) {}
    std::unique_ptr<CODProperty> Clone() const override { return std::make_unique<CODEditProperty>(*this); }
    void Serialize(CArchive& ar) override;
    std::uint8_t GetKind() const override { return 3; }
    std::int32_t GetValue() const override { return m_bValue ? 1 : 0; }
    void SetValue(std::int32_t v) override { m_bValue = v != 0; }
    bool Equals(const CODProperty& o) const override;

    // True while the value flag is set and the second flag is clear.
    bool IsValueOnly() const { return m_bValue && !m_bSecond; }
    bool m_bValue = false;
    bool m_bSecond = false;
    std::int32_t m_nMember = 0;
    std::int32_t m_nA = 0;
    std::int32_t m_nB = 1;
    std::int32_t m_nC = 1;
};

// An ordered set: one property per number, kept in the order of first setting.
class CODPropertySet {
public:
    CODPropertySet() = default;
    CODPropertySet(const CODPropertySet& other);
    CODPropertySet& operator=(const CODPropertySet& other);
    CODPropertySet(CODPropertySet&&) = default;
    CODPropertySet& operator=(CODPropertySet&&) = default;

    int GetCount() const { return static_cast<int>(m_props.size()); }
    CODProperty* GetAt(int i) const
    {
        return (i >= 0 && i < GetCount()) ? m_props[static_cast<std::size_t>(i)].get() : nullptr;
    }
    CODProperty* Find(std::int32_t id) const;
    // Replaces the property with the same number, or appends a copy.
    void Set(const CODProperty& prop);
    bool Remove(std::int32_t id);
    void Clear() { m_props.clear(); }
    // Count, then each property with its kind; reading replaces the set.
    void Serialize(CArchive& ar);

private:
    std::vector<std::unique_ptr<CODProperty>> m_props;
};

// A unit code and a value, for the viewport's measures.
struct CODMeasure {
    std::int32_t m_nUnit = 0;
    double m_dValue = 0.0;
    CODMeasure() = default;
    CODMeasure(std::int32_t unit, double value) : m_nUnit(unit), m_dValue(value) {}
};
