#pragma once

class ListModel;
class QDate;
class QPagedPaintDevice;

// Prints the appointments as one simple table: the title "STAMPA DEL " with
// today's date in bold, then one line per appointment (date text, weekday
// name, message, time text), 5 mm apart, in Arial 10 pt. Positions are in
// millimetres from the top-left corner of the device's paint area, which the
// caller sets to the printable area. Rows that do not fit continue on a new
// page, again from 20 mm. Ends the document. Returns false when the device
// could not be painted on or refused a new page.
bool printAppointments(const ListModel& appointments, const QDate& today,
                       QPagedPaintDevice& device);
