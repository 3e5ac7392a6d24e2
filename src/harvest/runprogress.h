#pragma once

class QProgressBar;

namespace brackenly {

class ImageHarvester;

// Shows the image-saving runs of a harvester on bar: the items of the run's page handled out
// of those found so far (a busy bar until the first are found); hidden while no run is in
// progress. Painting is paced like the status panels: a bar repaints its whole window.
void ShowRunProgress(ImageHarvester* harvester, QProgressBar* bar);

} // namespace brackenly
