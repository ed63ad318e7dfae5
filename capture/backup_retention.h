// Keeps the image folder from filling the disk when the automatic mode keeps backups.
#pragma once

// Applies keep_files and keep_days (both absent or 0: nothing is deleted) to the numbered
// pictures of the image folder. Only names of the prefix and number pattern are deleted.
void ApplyRetentionLimits();
