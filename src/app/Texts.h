#pragma once

#include <string>

#include "app/FolderSummary.h"
#include "job/ErrorText.h"
#include "job/Job.h"

// The lines the window shows, in the user's language.
namespace quillane {

// "3 images · 40 × 30 canvas, from a.png", or why there is no canvas (no image, no folder).
// withProfile: the line names the colour profile the document takes, if any. Then what the
// folder holds that is left out (FolderSummary::leftOut), or that alone when nothing is taken.
std::string summaryText(const FolderSummary& summary, bool withProfile);
// "File 8 of 30: a-frame-008.png"; nothing before the job takes up its first file.
std::string progressLine(const JobProgress::Snapshot& progress);
// "Saved out.psd — 2 layers, 40 × 30", or that a stop left nothing.
std::string resultText(const JobOutcome& outcome);
// "Not saved — b.png is incomplete": why the job failed, in a few words.
std::string failureText(const Error& error);
// The job's error for an alert; one about an image file also says what to do with the file.
ErrorText failureAlert(const Error& error);

}  // namespace quillane
