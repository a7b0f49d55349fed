// File > New: the dialog choosing the kind of an empty, untitled window, and
// the port through which the document layers make such windows.
#pragma once

#include "shell/dialogs.h"

class CDoc;

// Control ids of the New dialog.
constexpr int kNewDocTemplate = 11400;
constexpr int kNewDocSchematic = 11401;
constexpr int kNewDocText = 11402;
constexpr int kNewDocLibrary = 11403;
constexpr int kNewDocPictureFirst = 129;  // the pictures beside the three choices
constexpr int kNewDocPictureLast = 131;

class CNewDocumentDlg : public CDialog2 {
public:
    explicit CNewDocumentDlg(platform::Window* parent = nullptr);

    // After OK: 1 schematic, 2 SPICE/text, 3 library; -1 until then.
    int chosenKind = -1;

    bool OnInitDialog() override;
    void OnOK() override;
    void OnControl(int id, platform::Notify what) override;
};

// The choice the New dialog offers first: the radio id chosen last
// (kNewDocSchematic at start).
int RememberedNewDocumentChoice();
void SetRememberedNewDocumentChoice(int radioId);

// How a window of a kind is made empty and untitled. The document layer
// installs it; until then every kind fails with kResultNotBuilt.
class NewDocumentPort {
public:
    virtual ~NewDocumentPort() = default;
    // The new document, its window shown maximised; null with *result set
    // (reported, then kResultShown) when it cannot be made.
    virtual CDoc* NewDocumentWindow(int kind, int* result) = 0;
};
NewDocumentPort& NewDocuments();
NewDocumentPort* InstallNewDocuments(NewDocumentPort* port);

// File > New: the dialog, then the window of the chosen kind. The new
// document, or null when cancelled or when it could not be made (reported).
CDoc* OnFileNew(platform::Window* parent);
