// The report's rows as class.png shows them.
#pragma once

#include <string>
#include <vector>

#include "key/plots/class_plot.h"
#include "key/gradebook/class_results.h"

// The score distribution of the rows graded, how each question came out
// over all of them, and each question's mistakes named most often.
ClassPicture classPicture(const std::vector<FolderResult>& rows);

// Where class.png goes: `named` when given, else beside the CSV, else "" (none).
std::string classPlotPath(const std::string& named, const std::string& csvPath);

// Draws class.png of the rows at `pngPath` and says where on stdout. Returns
// 0, or -1 after saying in one line on stderr why it was not drawn.
int drawClassPicture(const std::vector<FolderResult>& rows, const std::string& pngPath);
