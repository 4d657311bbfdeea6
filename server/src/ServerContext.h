#pragma once

#include <QString>

class Database;
class Router;
class SignInThrottle;

// What the handlers share: the database and the settings of this run.
struct ServerContext
{
    Database &db;
    QString baseUrl; // "http://127.0.0.1:PORT", known once listening
    qint64 tokenTtlSeconds = 3600;
    QString filesDir; // folder the update archives are built from
    QString signingKeyFile; // the archives' secret key; with PostgreSQL it lies in filesDir
    qint64 defaultPageRows = 20;
    SignInThrottle *throttle = nullptr; // failed sign-ins, both kinds
};

// Each group of endpoints adds its routes to the router.
void registerAuthRoutes(Router &router, ServerContext &ctx);
void registerSysRoutes(Router &router, ServerContext &ctx);
void registerMasterRoutes(Router &router, ServerContext &ctx);
void registerCrmRoutes(Router &router, ServerContext &ctx);
void registerUpdateRoutes(Router &router, ServerContext &ctx);
