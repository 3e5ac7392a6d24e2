#pragma once

class QProgressBar;

namespace brackenly {

class ImageHarvester;

// Shows the image-saving runs of a harvester on bar: the items of the run's page handled out
// of those found so far (a busy bar until the first are found); hidden while no run is in
// progress. Its painting is paced like the status panels'.
void ShowRunProgress(ImageHarvester* harvester, QProgressBar* bar);

} // namespace brackenly
