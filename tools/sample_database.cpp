#include "sample_database.h"

#include "engine/database.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tools {
namespace {

using engine::catalog::NewColumn;
using engine::format::ColumnType;
using engine::format::Currency;
using engine::format::DateTime;
using engine::format::Value;
using Rows = std::vector<std::vector<Value>>;

// A small linear congruential generator: the same seed gives the same database on every build.
class Draw {
public:
    explicit Draw(uint32_t seed) : m_state(seed) {}
    // A number from 0 to limit - 1.
    int below(int limit) {
        m_state = m_state * 1664525u + 1013904223u;
        return static_cast<int>((m_state >> 8) % static_cast<uint32_t>(limit));
    }
    int between(int low, int high) { return low + below(high - low + 1); }

private:
    uint32_t m_state;
};

Currency cents(int64_t amount) { return Currency{amount * 100}; }

// Days since 30 December 1899; 2 January 2023 was day 44928.
constexpr double kFirstOrderDay = 44928;

struct Place {
    const char* city;
    const char* country;
};

constexpr std::array kCompanyNames = {
    "Alder",   "Birch",     "Cedar",   "Harbor",    "Juniper", "Kestrel",    "Linden",
    "Marlow",  "Northgate", "Orchard", "Pinecrest", "Quarry",  "Riverside",  "Saltmarsh",
    "Thistle", "Upland",    "Willow",  "Yarrow",    "Bramble", "Copperfield"};
constexpr std::array kCompanyKinds = {"Trading",    "Provisions", "Market",
                                      "Supply Co.", "Grocers",    "Foods"};
constexpr std::array kFirstNames = {"Ada",    "Bruno", "Carmen", "Dmitri", "Elena", "Farah",
                                    "Gustav", "Hana",  "Ivo",    "Joanna", "Kofi",  "Lena",
                                    "Mateo",  "Nora",  "Otto",   "Priya"};
constexpr std::array kLastNames = {"Albrecht", "Berger",    "Costa",   "Duval",   "Eriksen",
                                   "Fischer",  "Garcia",    "Horvath", "Ivanova", "Jensen",
                                   "Kowalski", "Lindqvist", "Moreau"};
constexpr std::array kPlaces = {
    Place{"Lisbon", "Portugal"},     Place{"Hamburg", "Germany"},   Place{"Lyon", "France"},
    Place{"Turin", "Italy"},         Place{"Gothenburg", "Sweden"}, Place{"Ghent", "Belgium"},
    Place{"Cork", "Ireland"},        Place{"Bergen", "Norway"},     Place{"Graz", "Austria"},
    Place{"Utrecht", "Netherlands"}, Place{"Bilbao", "Spain"},      Place{"Krakow", "Poland"},
    Place{"Aarhus", "Denmark"},      Place{"Tampere", "Finland"},   Place{"Brno", "Czechia"}};
constexpr std::array kCustomerNotes = {
    "Prefers deliveries before noon.",
    "Pays by bank transfer within 30 days.",
    "Ask for the warehouse entrance at the back of the building.",
    "Orders larger quantities before public holidays.",
    "Has asked to be told about new organic lines.",
    "Closed on Mondays.",
    "Invoices go to the head office, not to the shop.",
    "Loading dock fits vans only, no lorries."};

struct Product {
    const char* name;
    const char* category;
    int priceCents;
};

constexpr std::array kProducts = {Product{"Earl Grey Tea", "Beverages", 1250},
                                  Product{"Sencha Green Tea", "Beverages", 1490},
                                  Product{"Dark Roast Coffee Beans", "Beverages", 1875},
                                  Product{"Sparkling Apple Juice", "Beverages", 395},
                                  Product{"Elderflower Cordial", "Beverages", 640},
                                  Product{"Wildflower Honey", "Condiments", 890},
                                  Product{"Grainy Mustard", "Condiments", 435},
                                  Product{"Smoked Paprika", "Condiments", 520},
                                  Product{"Balsamic Vinegar", "Condiments", 1160},
                                  Product{"Sea Salt Flakes", "Condiments", 375},
                                  Product{"Aged Gouda", "Dairy", 2240},
                                  Product{"Goat Cheese Log", "Dairy", 760},
                                  Product{"Salted Butter", "Dairy", 410},
                                  Product{"Greek Yoghurt", "Dairy", 325},
                                  Product{"Sourdough Crackers", "Bakery", 455},
                                  Product{"Rye Crispbread", "Bakery", 310},
                                  Product{"Almond Biscotti", "Bakery", 685},
                                  Product{"Oat Flapjacks", "Bakery", 540},
                                  Product{"Arborio Rice", "Grains", 480},
                                  Product{"Red Lentils", "Grains", 290},
                                  Product{"Bronze-Cut Spaghetti", "Grains", 355},
                                  Product{"Pearl Barley", "Grains", 265},
                                  Product{"Smoked Mackerel", "Seafood", 945},
                                  Product{"Anchovy Fillets", "Seafood", 615},
                                  Product{"Sardines in Olive Oil", "Seafood", 420},
                                  Product{"Dried Apricots", "Produce", 570},
                                  Product{"Sun-Dried Tomatoes", "Produce", 680},
                                  Product{"Walnut Halves", "Produce", 990},
                                  Product{"Pickled Beetroot", "Produce", 345},
                                  Product{"Marinated Artichokes", "Produce", 830}};

constexpr int kCustomerCount = 40;
constexpr int kOrderCount = 180;

std::string productDescription(const Product& product, Draw& draw) {
    static constexpr std::array kOrigins = {
        "a family farm in the Alentejo", "a cooperative in the Piedmont hills",
        "small producers on the Baltic coast", "an estate in the Loire valley"};
    std::string text = std::string(product.name) + " from " + kOrigins[draw.below(4)] + ".";
    text += " Packed in cases of " + std::to_string(6 * draw.between(1, 4)) + ".";
    if (draw.below(3) == 0) {
        text += " Store in a cool, dry place and keep away from direct sunlight.";
    }
    return text;
}

std::vector<NewColumn> customerColumns() {
    return {{.name = "CustomerID", .type = ColumnType::Long, .autoNumber = true},
            {.name = "CompanyName", .type = ColumnType::Text, .size = 60},
            {.name = "ContactName", .type = ColumnType::Text, .size = 40},
            {.name = "City", .type = ColumnType::Text, .size = 40},
            {.name = "Country", .type = ColumnType::Text, .size = 30},
            {.name = "Phone", .type = ColumnType::Text, .size = 24},
            {.name = "Notes", .type = ColumnType::Memo}};
}

Rows customerRows(Draw& draw) {
    Rows rows;
    for (int index = 0; index < kCustomerCount; ++index) {
        // Each index gives its own pair of name and kind, so no company name repeats.
        const std::string company =
            std::string(kCompanyNames[index % kCompanyNames.size()]) + " " +
            kCompanyKinds[(index / kCompanyNames.size() + index) % kCompanyKinds.size()];
        const std::string contact = std::string(kFirstNames[draw.below(kFirstNames.size())]) + " " +
                                    kLastNames[draw.below(kLastNames.size())];
        const Place& place = kPlaces[index % kPlaces.size()];
        const std::string phone = "+" + std::to_string(draw.between(30, 49)) + " " +
                                  std::to_string(draw.between(100, 999)) + " " +
                                  std::to_string(draw.between(100000, 999999));
        Value notes;
        if (draw.below(4) != 0) {
            const int first = draw.below(kCustomerNotes.size());
            std::string text = kCustomerNotes[first];
            if (draw.below(2) == 0) {
                const int second = (first + 1 + draw.below(kCustomerNotes.size() - 1)) %
                                   static_cast<int>(kCustomerNotes.size());
                text += std::string(" ") + kCustomerNotes[second];
            }
            notes = text;
        }
        rows.push_back({int32_t{index + 1}, company, contact, std::string(place.city),
                        std::string(place.country), phone, notes});
    }
    return rows;
}

std::vector<NewColumn> productColumns() {
    return {{.name = "ProductID", .type = ColumnType::Long, .autoNumber = true},
            {.name = "ProductName", .type = ColumnType::Text, .size = 60},
            {.name = "Category", .type = ColumnType::Text, .size = 30},
            {.name = "UnitPrice", .type = ColumnType::Currency},
            {.name = "UnitsInStock", .type = ColumnType::Integer},
            {.name = "Discontinued", .type = ColumnType::Boolean},
            {.name = "Description", .type = ColumnType::Memo}};
}

Rows productRows(Draw& draw) {
    Rows rows;
    for (size_t index = 0; index < kProducts.size(); ++index) {
        const Product& product = kProducts[index];
        rows.push_back({static_cast<int32_t>(index + 1), std::string(product.name),
                        std::string(product.category), cents(product.priceCents),
                        static_cast<int16_t>(draw.between(0, 240)), draw.below(10) == 0,
                        productDescription(product, draw)});
    }
    return rows;
}

std::vector<NewColumn> orderColumns() {
    return {{.name = "OrderID", .type = ColumnType::Long, .autoNumber = true},
            {.name = "CustomerID", .type = ColumnType::Long},
            {.name = "OrderDate", .type = ColumnType::DateTime},
            {.name = "ShippedDate", .type = ColumnType::DateTime},
            {.name = "ShipCity", .type = ColumnType::Text, .size = 40},
            {.name = "Freight", .type = ColumnType::Currency}};
}

std::vector<NewColumn> orderDetailColumns() {
    return {{.name = "OrderID", .type = ColumnType::Long},
            {.name = "ProductID", .type = ColumnType::Long},
            {.name = "Quantity", .type = ColumnType::Integer},
            {.name = "UnitPrice", .type = ColumnType::Currency},
            {.name = "Discount", .type = ColumnType::Single}};
}

// The orders and their lines together, so every line belongs to an order.
void orderRows(Draw& draw, Rows& orders, Rows& details) {
    constexpr int kFirstOrderId = 10001;
    constexpr std::array kDiscounts = {0.0f, 0.0f, 0.05f, 0.1f, 0.15f};
    double day = kFirstOrderDay;
    for (int index = 0; index < kOrderCount; ++index) {
        const int32_t orderId = kFirstOrderId + index;
        const int customer = draw.below(kCustomerCount);
        day += draw.between(0, 4);
        const double orderedAt = day + draw.between(8, 17) / 24.0;
        // The latest orders have not gone out yet.
        Value shipped;
        if (index < kOrderCount - 8) {
            shipped = DateTime{day + draw.between(1, 6)};
        }
        orders.push_back({orderId, int32_t{customer + 1}, DateTime{orderedAt}, shipped,
                          std::string(kPlaces[customer % kPlaces.size()].city),
                          cents(draw.between(200, 8000))});

        const int lineCount = draw.between(1, 4);
        std::vector<int> products;
        while (static_cast<int>(products.size()) < lineCount) {
            const int product = draw.below(kProducts.size());
            if (std::find(products.begin(), products.end(), product) == products.end()) {
                products.push_back(product);
            }
        }
        for (const int product : products) {
            details.push_back(
                {orderId, int32_t{product + 1}, static_cast<int16_t>(draw.between(1, 40)),
                 cents(kProducts[product].priceCents), kDiscounts[draw.below(kDiscounts.size())]});
        }
    }
}

engine::RowSource feed(const Rows& rows) {
    return [&rows, next = size_t{0}](std::vector<Value>& row) mutable {
        if (next == rows.size()) {
            return false;
        }
        row = rows[next++];
        return true;
    };
}

}  // namespace

void writeSampleDatabase(const std::string& path) {
    Draw draw(2024);
    const Rows customers = customerRows(draw);
    const Rows products = productRows(draw);
    Rows orders;
    Rows details;
    orderRows(draw, orders, details);

    auto database = engine::Database::create(path, {.format = engine::storage::FileFormat::Jet4});
    database->createTable("Customers", customerColumns(), feed(customers));
    database->createTable("Products", productColumns(), feed(products));
    database->createTable("Orders", orderColumns(), feed(orders));
    database->createTable("OrderDetails", orderDetailColumns(), feed(details));
}

}  // namespace tools
