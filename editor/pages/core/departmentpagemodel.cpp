#include "editor/pages/core/departmentpagemodel.h"

#include "editor/app/core/editorprompt.h"

#include "winapi/text.h"

namespace tarnwick {

namespace {

} // namespace

CDepartmentPropPageModel::CDepartmentPropPageModel(CADSubDivision* node)
    : m_pNode(node)
{
    if (!node)
        return;
    node->GetChildText("DocState", Name);
    CodeText = node->GetCode() == -1 ? "Новое" : std::to_string(node->GetCode());
}

void CDepartmentPropPageModel::Init()
{
    ControlState& code = Control(IDC_CODE);
    code.text = CodeText;
    code.showsValue = true;
    Control(IDC_NAME).text = Name;
    // The name of a stored department is the database's.
    Enable(IDC_NAME, m_pNode && m_pNode->GetCode() == -1);
}

void CDepartmentPropPageModel::OnCommand(int id)
{
    if (id == IDC_NAME)
        SetModified();
}

bool CDepartmentPropPageModel::Validate()
{
    const std::string& text = Control(IDC_NAME).text;
    if (winapi::Utf8Length(text) > kMaxNameChars) {
        // Own wording.
        Prompt().Message("Введите не более " + std::to_string(kMaxNameChars) + " символов.", {},
                         MessageIcon::Warning);
        return false;
    }
    Name = text;
    return true;
}

bool CDepartmentPropPageModel::Apply()
{
    if (m_pNode && m_pNode->GetCode() == -1) {
        m_pNode->SetChildText("DocState", Name);
        ChangedElement = true;
    }
    return true;
}

} // namespace tarnwick
