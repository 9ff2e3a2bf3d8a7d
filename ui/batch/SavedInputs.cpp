// The batch window's inputs kept between runs.
#include "ui/batch/fleetsetDlg.h"

int CfleetsetDlg::save_cfg_param() { return 0; }
int CfleetsetDlg::load_cfg_param() { return 1; }
