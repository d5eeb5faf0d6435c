// The browser add-ons page: the helper objects, pre-approved controls and extensions the browser
// loads, disabled ones purple, with disable, enable, delete and locate on the clicked row; then the
// extensions that Chrome, Edge and Chromium install by policy or registration, which can be deleted
// and, where they name a file, located.
#pragma once

#include <vector>

#include "framework/registry.h"
#include "pages/list_page.h"
#include "repair/browser_extensions.h"

class CIELoaderDialog : public lark::DialogWithTable<CIELoaderDialog, CListPage> {
    friend DialogWithTable;  // reads kMessages

public:
    CIELoaderDialog();

    // The row sink of the page: one row at the row counter; the kind text tells the view.
    void AddAddOnRow(const wchar_t* name, const wchar_t* file, int enabled, int kind, const wchar_t* keyName,
                     lark::RegistryView view);
    // A row of an extension the browsers install by themselves: its entry stays with the row (item
    // data 1 + its index in the page's table; 0 for the rows above), through any sort.
    void AddBrowserExtensionRow(const BrowserExtension& extension);

protected:
    DWORD Fill() override;
    void EnableMenuItems(HMENU popup) override;
    bool IsPicked(int row) const override;

private:
    void OnDisable();
    void OnEnable();
    void OnDelete();
    void OnLocate();
    void SetClickedRowEnabled(int enable);
    // The entry of the clicked row when it is a browser's extension; null for the other rows.
    const BrowserExtension* ClickedExtension() const;

    std::vector<BrowserExtension> m_extensions;  // the entries of the listed browser extensions

    static inline const lark::MessageEntry<CIELoaderDialog> kMessages[] = {
        lark::OnCommand<CIELoaderDialog>(ID_ADDON_REFRESH, &CIELoaderDialog::Relist, 0),
        lark::OnCommand(ID_ADDON_DISABLE, &CIELoaderDialog::OnDisable, 0),
        lark::OnCommand(ID_ADDON_ENABLE, &CIELoaderDialog::OnEnable, 0),
        lark::OnCommand(ID_ADDON_DELETE, &CIELoaderDialog::OnDelete, 0),
        lark::OnCommand(ID_ADDON_LOCATE, &CIELoaderDialog::OnLocate, 0),
    };
};
