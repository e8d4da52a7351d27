// The class library's object root: run-time classes registered by name and
// schema, dynamic creation, is-kind-of tests, and the exception base.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

namespace afx_detail {
struct ClassRegistrar;
}

class CObject;
class CArchive;

// Set in a class's schema when older schemas may be read back; the object
// then asks the archive which schema it is reading (CArchive::GetObjectSchema).
inline constexpr std::uint32_t VERSIONABLE_SCHEMA = 0x80000000u;

struct CRuntimeClass {
    const char* m_lpszClassName;
    std::uint32_t m_wSchema;           // 0xFFFF: not serialisable
    CObject* (*m_pfnCreateObject)();   // null: no dynamic creation
    const CRuntimeClass* m_pBaseClass; // null for CObject

    CObject* CreateObject() const;
    bool IsDerivedFrom(const CRuntimeClass* base) const;
    bool IsSerializable() const { return m_wSchema != 0xFFFF; }

    // The registry of every class that declares itself with the macros below.
    static const CRuntimeClass* FromName(const std::string& name);
    static CObject* CreateObject(const std::string& name);
    static std::vector<const CRuntimeClass*> RegisteredClasses();
};

// Common base of the library's exceptions (thrown by value, caught by reference).
class CException : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class CObject {
public:
    virtual ~CObject() = default;
    virtual const CRuntimeClass* GetRuntimeClass() const;
    virtual void Serialize(CArchive& ar);
    bool IsKindOf(const CRuntimeClass* cls) const;
    bool IsSerializable() const { return GetRuntimeClass()->IsSerializable(); }

    // Called by the archive when this object was created by a load that then
    // failed inside the object's own Serialize; the default deletes it.
    // Reference-counted classes delete only what nobody holds yet.
    virtual void DiscardAfterFailedLoad() { delete this; }

    static const CRuntimeClass classCObject;
    static const CRuntimeClass* GetThisClass() { return &classCObject; }

protected:
    CObject() = default;
    CObject(const CObject&) = default;
    CObject& operator=(const CObject&) = default;
};

namespace afx_detail {
// Registers a class at load time of the library that defines it.
struct ClassRegistrar {
    explicit ClassRegistrar(const CRuntimeClass* cls);
};
} // namespace afx_detail

#define RUNTIME_CLASS(class_name) (&class_name::class##class_name)

#define DECLARE_DYNAMIC(class_name)                                             \
public:                                                                         \
    static const CRuntimeClass class##class_name;                              \
    static const CRuntimeClass* GetThisClass() { return &class##class_name; }  \
    const CRuntimeClass* GetRuntimeClass() const override;

#define DECLARE_DYNCREATE(class_name)                                           \
    DECLARE_DYNAMIC(class_name)                                                 \
    static CObject* CreateObject();

#define DECLARE_SERIAL(class_name) DECLARE_DYNCREATE(class_name)

#define AFX_IMPLEMENT_RUNTIMECLASS(class_name, base_class_name, schema, pfnNew)    \
    const CRuntimeClass class_name::class##class_name = {                        \
        #class_name, schema, pfnNew, RUNTIME_CLASS(base_class_name)};            \
    static const afx_detail::ClassRegistrar afx_register_##class_name(          \
        RUNTIME_CLASS(class_name));                                              \
    const CRuntimeClass* class_name::GetRuntimeClass() const                    \
    {                                                                            \
        return RUNTIME_CLASS(class_name);                                        \
    }

#define IMPLEMENT_DYNAMIC(class_name, base_class_name)                          \
    AFX_IMPLEMENT_RUNTIMECLASS(class_name, base_class_name, 0xFFFF, nullptr)

// The creation function makes the whole object and hands back its CObject
// part, which is its first base.
#define IMPLEMENT_DYNCREATE(class_name, base_class_name)                        \
    CObject* class_name::CreateObject() { return new class_name; }              \
    AFX_IMPLEMENT_RUNTIMECLASS(class_name, base_class_name, 0xFFFF,             \
                               class_name::CreateObject)

#define IMPLEMENT_SERIAL(class_name, base_class_name, wSchema)                  \
    CObject* class_name::CreateObject() { return new class_name; }              \
    AFX_IMPLEMENT_RUNTIMECLASS(class_name, base_class_name, wSchema,            \
                               class_name::CreateObject)
