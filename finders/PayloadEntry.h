// One payload of the vendor installer's media database and the products
// whose suites name it.
#pragma once

#include <string>
#include <vector>

struct QORBProductRecord;

struct PayloadEntry {
  std::string payloadId; // the PayloadID, UTF-8
  // Products whose SuitePayloads rows name this payload, in reading order;
  // a product appears once per matching row (not owned).
  std::vector<QORBProductRecord*> products;
};
