#pragma once

// The delivery report of a batch, the document handed to the customer with the cards: the order's name,
// its range or list, the counts (good, thrown away, left), the first and last card's time, the stations,
// then every number on a good card with the chosen printed forms, and the page number on every page.
// Written with Qt's PDF writer; the Batches window and `rfidctl batch report --pdf` (through its report
// helper, so that rfidctl itself needs no window library) make the same document.

#include "batches/BatchStatus.h"
#include "cards/NumberForms.h"

#include <QSqlDatabase>
#include <QString>

bool WriteDeliveryPdf(const DeliveryContents& contents, NumberFormSet forms, const QString& path, QString* error);
bool WriteDeliveryReport(QSqlDatabase& db, const QString& batch, NumberFormSet forms, const QString& path,
                         QString* error);
// The file name the report is offered under: the batch's name with the characters a file name cannot
// hold on Linux or Windows (path separators among them) replaced by "_", "report" when nothing is left.
QString DeliveryReportFileName(const QString& batch);
