#include "editor/dialogs/ui/shortcutdlg.h"

#include "editor/app/ui/uires.h"

#include <wx/imaglist.h>
#include <wx/treectrl.h>
#include <wx/xrc/xmlres.h>

#include <functional>
#include <stdexcept>

namespace tarnwick {

namespace {

// Keeps the model's item of a shown item.
struct ItemOf : wxTreeItemData {
    explicit ItemOf(TreeItem i) : item(i) {}
    TreeItem item;
};

} // namespace

CShortCutDlg::CShortCutDlg(wxWindow* parent, std::int32_t typeDoc) : m_model(typeDoc, m_items)
{
    if (!wxXmlResource::Get()->LoadDialog(this, parent, "IDD_SHORTCUT"))
        throw std::runtime_error("the dialog resource IDD_SHORTCUT is missing");
    m_tree = XRCCTRL(*this, "IDC_SHORTCUT_TREE", wxTreeCtrl);
    auto* images = new wxImageList(16, 16, true);
    for (const wxBitmap& image : TreeImageStrip())
        images->Add(image);
    m_tree->AssignImageList(images);
    m_tree->Bind(wxEVT_TREE_SEL_CHANGED, [this](wxTreeEvent& event) {
        if (auto* data = event.GetItem().IsOk() ? static_cast<ItemOf*>(m_tree->GetItemData(event.GetItem())) : nullptr)
            m_model.OnSelChange(data->item);
        if (wxWindow* ok = FindWindow(wxID_OK))
            ok->Enable(m_model.OkEnabled());
    });
}

void CShortCutDlg::Prepare()
{
    m_model.OnInitDialog();
    m_tree->DeleteAllItems();
    m_shown.clear();
    const wxTreeItemId root = m_tree->AddRoot("");
    std::function<void(TreeItem, const wxTreeItemId&)> show = [&](TreeItem parent, const wxTreeItemId& at) {
        for (TreeItem child : m_items.GetChildren(parent)) {
            const int image = m_items.GetItemImage(child);
            const wxTreeItemId id = m_tree->AppendItem(at, wxString::FromUTF8(m_items.GetItemText(child)), image,
                                                       image, new ItemOf(child));
            m_shown[child] = id;
            show(child, id);
        }
    };
    show(m_items.GetRootItem(), root);
    for (TreeItem group : m_items.GetChildren(m_items.GetRootItem()))
        m_tree->ExpandAllChildren(m_shown[group]);
    if (wxWindow* ok = FindWindow(wxID_OK))
        ok->Enable(false);
}

void CShortCutDlg::SelectItem(TreeItem item)
{
    if (auto it = m_shown.find(item); it != m_shown.end())
        m_tree->SelectItem(it->second);
}

int CShortCutDlg::ShowModal()
{
    Prepare();
    CentreOnParent();
    return wxDialog::ShowModal();
}

} // namespace tarnwick
