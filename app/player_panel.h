#pragma once

#include "app/control_panel.h"
#include "app/player_strip.h"

class wxButton;
class wxChoice;
class wxSlider;
class wxSpinCtrl;
class wxSpinEvent;
class wxStaticBox;

// The player strip under the 3-D view: it drives one motion controller,
// chosen by name from every entry of MotionControllerMap, with a frame slider
// (1-based, range 1..frameCount), seven transport buttons "<<", "<", "[]",
// "Play", "||", ">", ">>" and a speed spin control in percent (0..400).
// What these do to the controller is PlayerStrip's (app/player_strip.h).
//
// Layout, redone whenever the strip's size changes, at the controls' best
// heights: the slider at the top left, three quarters of the strip wide, its
// first frame, current frame (in bold, set apart from the first frame), trough
// and last frame on one row (in a strip too short for it and the row below,
// the gaps around them give way first, then the slider); the boxed choice at
// the right edge, a fifth of the strip wide or as wide as its label and its
// choice at its best width need; one row of buttons and the spin control (at
// its best width) under the slider from its left edge, 5 pixels apart, the
// buttons sharing the slider's width up to their best width and no narrower
// than GTK draws them. The strip and the slider are white. The strip's best
// size is the smallest in which this layout shows every control whole.
//
// Every frame, UpdateControls refills the choice when MotionControllerMap has
// grown (keeping the selected name; with nothing selected the first item is
// chosen, which makes it current) and puts the slider on the current
// controller's frame. GUI thread only.
class PlayerPanel : public ControlPanel, public PlayerStrip {
 public:
  // The main frame passes the outer splitter and window id 7, before
  // GlobalInit: no controller exists yet, so the choice starts empty.
  PlayerPanel(wxWindow* parent, wxWindowID id, const wxPoint& pos, const wxSize& size, long style,
              const wxString& name);

  void UpdateControls() override;

  wxSlider* positionSlider;
  wxChoice* controllerChoice;
  wxStaticBox* controllerBox;
  wxSpinCtrl* speedSpin;
  wxButton* rewindButton;
  wxButton* endButton;
  wxButton* stepBackButton;
  wxButton* stepForwardButton;
  wxButton* pauseButton;
  wxButton* playButton;
  wxButton* stopButton;

 protected:
  // The smallest size in which the layout shows every control whole.
  wxSize DoGetBestSize() const override;

 private:
  // The sizes of the controls that the layout works with.
  struct Measures {
    int buttonWidth;      // the buttons' best width
    int buttonNarrowest;  // the narrowest width at which GTK draws each button whole
    int rowHeight;        // the tallest of the buttons and the spin control
    wxSize spin;          // the spin control's best size
    int sliderHeight;     // the slider's best height
    int sliderNarrowest;  // the narrowest width at which GTK draws the slider whole
    int boxWidth;         // the narrowest box that shows its label and its choice whole
    int boxHeight;        // the box's height around the choice
  };
  Measures Measure() const;

  // Stops the controller and shows the slider's frame.
  void OnSlider(wxCommandEvent& event);
  // Places the controls for the strip's present size (see above).
  void LayOutControls();
  void OnSize(wxSizeEvent& event);
  // Makes the selected controller current and sets the slider's range and
  // value and the spin value from it.
  void OnChoice(wxCommandEvent& event);
  // The button's transport operation.
  void OnButton(wxCommandEvent& event);
  // The controller's speed from the spin value.
  void OnSpin(wxSpinEvent& event);

  // The slider on the current controller's frame, when it has frames.
  void ShowCurrentFrame();

  wxDECLARE_EVENT_TABLE();
};
