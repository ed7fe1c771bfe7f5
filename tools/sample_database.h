// The sample database shipped beside the program: a small Jet 4 database of a made-up food
// wholesaler - customers, products, their orders and the order lines - so a first-time user can
// try every command without a database of their own. The content is drawn from a fixed seed,
// so every build writes the same rows. No table name holds a blank, so the transfer, which
// writes the destination name bare, copies every table.
//
//   table          rows  columns
//   Customers        40  CustomerID, CompanyName, ContactName, City, Country, Phone, Notes (memo)
//   Products         30  ProductID, ProductName, Category, UnitPrice, UnitsInStock, Discontinued,
//                        Description (memo)
//   Orders          180  OrderID, CustomerID, OrderDate, ShippedDate, ShipCity, Freight
//   OrderDetails   ~450  OrderID, ProductID, Quantity, UnitPrice, Discount
#pragma once

#include <string>

namespace tools {

// Creates the sample database at path. Throws engine::EngineError, also when the file exists.
void writeSampleDatabase(const std::string& path);

}  // namespace tools
