#include "app/motions_panel.h"

#include <wx/choice.h>
#include <wx/statbox.h>

namespace {

constexpr int kMotionChoiceId = 0;
constexpr int kMotionsBoxY = 10;

}  // namespace

wxBEGIN_EVENT_TABLE(MotionsPanel, ControlPanel)
  EVT_SIZE(MotionsPanel::OnSize)
  EVT_CHOICE(kMotionChoiceId, MotionsPanel::OnChoice)
wxEND_EVENT_TABLE()

MotionsPanel::MotionsPanel(wxWindow* parent, wxWindowID id, const wxPoint& pos, const wxSize& size,
                           long style, const wxString& name)
    : ControlPanel(parent, id, pos, size, style, name) {
  motionsBox = CreatePageBox(this, kMotionsBoxY, "Motions");
  motionChoice = CreateChoiceInBox(this, kMotionChoiceId, motionsBox);
}

// No constraints and no sizer: the controls stay where they are.
void MotionsPanel::OnSize(wxSizeEvent& /*event*/) { Layout(); }
