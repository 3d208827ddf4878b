// The settings window's live preview: a drawing area that shows the field as the
// saver draws it, by the animation (app/animation.h) through the pixel composition
// that X11 and Wayland share (platform/pixels/), into a cairo image surface.
#pragma once

#include <gtk/gtk.h>

namespace preview {

// The preview's widget (one per program: the animation's scenes are the
// program's). saverSettings must hold the settings before it is shown.
GtkWidget* Create();

// saverSettings changed: the bodies scatter afresh at the new settings, or, with
// attractionOnly, keep moving under the new attraction.
void SettingsChanged(bool attractionOnly);

}  // namespace preview
