#pragma once

// The MFC-shaped classes the system's programs are written with.

#include "mfc/CArray.h"
#include "mfc/CBitmapButton.h"
#include "mfc/CButton.h"
#include "mfc/CDialog.h"
#include "mfc/CEdit.h"
#include "mfc/CFrameWnd.h"
#include "mfc/CList.h"
#include "mfc/CListBox.h"
#include "mfc/CListCtrl.h"
#include "mfc/CObject.h"
#include "mfc/CPoint.h"
#include "mfc/CProgressCtrl.h"
#include "mfc/CRect.h"
#include "mfc/CSize.h"
#include "mfc/CStatic.h"
#include "mfc/CString.h"
#include "mfc/CWinApp.h"
#include "mfc/CWnd.h"
#include "mfc/DialogTemplates.h"
