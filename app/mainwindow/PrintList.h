#pragma once
// The printed film list: the rows of a job (PrintListModel.h), the text of
// its pages (PrintPage.h) and the job itself (PrintJob.h).

#include "app/mainwindow/PrintJob.h"
#include "app/mainwindow/PrintListModel.h"
#include "app/mainwindow/PrintPage.h"
