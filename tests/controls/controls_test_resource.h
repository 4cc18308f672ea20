#pragma once
#define IDD_HINT_HOST        300
#define IDC_HINT_LIST        301
#define IDC_HINT_OTHER       302
#define IDC_HINT_EDIT_COMBO  303
