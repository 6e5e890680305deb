// A data source that keeps no per-file save record; post-save listeners are expected to skip it.
#pragma once

#include "qor4/IDataModelMgr.h"

namespace standin {

class ModelPlainDataSource final : public qor4::IDataSource {
public:
    static qor4::QORPtr<ModelPlainDataSource> Create();

    void AddRef() override { ++m_refs; }
    void Release() override;
    bool QueryInterface(const qor4::InterfaceUID& iid, void** object) override;

private:
    ModelPlainDataSource() = default;
    ~ModelPlainDataSource() = default;

    int m_refs = 0;
};

} // namespace standin
