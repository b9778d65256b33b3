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
  motionsBox = CreatePageBox(this, "Motions");
  motionChoice = CreateSortedChoice(this, kMotionChoiceId);
  LayOutControls();
}

void MotionsPanel::LayOutControls() {
  PlaceBoxedChoice(motionsBox, motionChoice, PageColumnLeft(), kMotionsBoxY,
                   PageColumnWidth(this, {motionsBox}, {motionChoice}));
}

wxSize MotionsPanel::DoGetBestSize() const {
  return PageBestSize(PageColumnWantedWidth({motionsBox}, {motionChoice}),
                      kMotionsBoxY + BoxedChoiceHeight(motionsBox, motionChoice));
}

void MotionsPanel::OnSize(wxSizeEvent& /*event*/) { LayOutControls(); }
