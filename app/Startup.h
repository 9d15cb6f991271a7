#pragma once

/// What every program of ours that shows windows sets before its first window: the application's name and
/// the stand-ins for the windows' font ("MS Sans Serif", where it is not installed, by the closest sans
/// face). Called once, after the application object exists.
void setUpApplication();
